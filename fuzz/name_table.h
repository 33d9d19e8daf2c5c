// The created files of the in-memory platform table: a name and a count of
// bytes for each. Open addressing over slots that keep their strings from
// input to input, so that once the first inputs have passed, adding, finding
// and removing a file take no memory, where a map of nodes would take a node,
// and often a string, for every file a walk extracts. Names are compared
// byte by byte: libFuzzer intercepts memcmp and records both operands of
// every call, which would cost more than the lookup and fill that record
// with the harness's own file names.
#ifndef PALMDB_FUZZ_NAME_TABLE_H
#define PALMDB_FUZZ_NAME_TABLE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace palmdb::fuzzmemory {

class NameTable {
 public:
  NameTable() : slots_(kFirstSlots) {
    // Made up front, outside the runs: libFuzzer takes a run that frees less
    // than it allocated for a possible leak and runs it again.
    for (Slot& slot : slots_) {
      slot.name.reserve(kNameRoom);
    }
    taken_.reserve(kFirstSlots);
  }

  // Adds `name` with a count of 0; false when it is there already.
  bool Add(std::string_view name) {
    if (2 * (taken_.size() + 1) > slots_.size()) {
      Grow();
    }
    const std::size_t at = Locate(name);
    Slot& slot = slots_[at];
    if (slot.state == State::kLive) {
      return false;
    }
    slot.name.assign(name.data(), name.size());
    slot.count = 0;
    slot.state = State::kLive;
    taken_.push_back(at);
    return true;
  }

  // The count of `name`; nullptr when it is not there.
  std::uint64_t* Find(std::string_view name) {
    Slot& slot = slots_[Locate(name)];
    return slot.state == State::kLive ? &slot.count : nullptr;
  }

  // Removes `name`; false when it was not there.
  bool Remove(std::string_view name) {
    Slot& slot = slots_[Locate(name)];
    if (slot.state != State::kLive) {
      return false;
    }
    slot.state = State::kRemoved;
    return true;
  }

  void Clear() {
    for (const std::size_t at : taken_) {
      slots_[at].state = State::kEmpty;
    }
    taken_.clear();
  }

 private:
  static constexpr std::size_t kFirstSlots = 2048;  // a power of two
  static constexpr std::size_t kNameRoom = 48;

  // A removed slot stays taken until Clear, so that the names after it on
  // its probe are still found.
  enum class State : std::uint8_t { kEmpty, kLive, kRemoved };
  struct Slot {
    std::string name;
    std::uint64_t count = 0;
    State state = State::kEmpty;
  };

  static bool Same(const std::string& a, std::string_view b) {
    if (a.size() != b.size()) {
      return false;
    }
    for (std::size_t i = 0; i < b.size(); ++i) {
      if (a[i] != b[i]) {
        return false;
      }
    }
    return true;
  }

  // The live slot of `name`, or the empty slot where its probe ends. At
  // most half the slots are taken, so there is always one.
  std::size_t Locate(std::string_view name) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = std::hash<std::string_view>()(name) & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.state == State::kEmpty || (slot.state == State::kLive && Same(slot.name, name))) {
        return at;
      }
    }
  }

  // Twice the slots, the live names moved over and the removed ones dropped.
  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_ = std::vector<Slot>(2 * old.size());
    taken_.clear();
    for (Slot& slot : old) {
      if (slot.state == State::kLive) {
        const std::size_t at = Locate(slot.name);
        slots_[at] = std::move(slot);
        taken_.push_back(at);
      }
    }
  }

  std::vector<Slot> slots_;
  // The slots taken since the last Clear, live or removed.
  std::vector<std::size_t> taken_;
};

}  // namespace palmdb::fuzzmemory

#endif  // PALMDB_FUZZ_NAME_TABLE_H
