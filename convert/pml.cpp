#include "convert/pml.h"

#include <cstdint>

#include "convert/book_support.h"
#include "platform/text.h"

namespace palmdb::convert {
namespace {

// Reads `count` digits in `base` at `at`; false when they are not all there.
bool Digits(std::string_view pml, std::size_t at, std::size_t count, unsigned base,
            std::uint32_t* value) {
  if (at + count > pml.size()) {
    return false;
  }
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = pml[at + i];
    unsigned digit = base;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    }
    if (digit >= base) {
      return false;
    }
    number = number * base + digit;
  }
  *value = number;
  return true;
}

class Converter {
 public:
  explicit Converter(std::string_view pml) : pml_(pml) {}

  std::string Run() {
    while (at_ < pml_.size()) {
      const char c = pml_[at_];
      if (c == '\\') {
        Tag();
      } else if (c == '\r') {
        // CR LF and a lone CR both end a line.
        ++at_;
        if (at_ < pml_.size() && pml_[at_] == '\n') {
          continue;
        }
        Put("\n");
      } else {
        const std::size_t next = pml_.find_first_of("\\\r", at_);
        const std::size_t end = next == std::string_view::npos ? pml_.size() : next;
        Put(pml_.substr(at_, end - at_));
        at_ = end;
      }
    }
    return std::move(out_);
  }

 private:
  void Put(std::string_view text) {
    if (!hidden_) {
      out_.append(text);
    }
  }

  void BreakLine() {
    if (!hidden_ && !out_.empty() && out_.back() != '\n') {
      out_.push_back('\n');
    }
  }

  // A line break where the tag stands, which the line end that follows it
  // in the source, if any, makes already.
  void BlockBreak() {
    BreakLine();
    if (at_ < pml_.size() && pml_[at_] == '\r') {
      ++at_;
    }
    if (at_ < pml_.size() && pml_[at_] == '\n') {
      ++at_;
    }
  }

  // Skips an ="argument" after a tag, if there is one.
  void SkipArgument() {
    if (at_ + 1 < pml_.size() && pml_[at_] == '=' && pml_[at_ + 1] == '"') {
      const std::size_t close = pml_.find('"', at_ + 2);
      at_ = close == std::string_view::npos ? pml_.size() : close + 1;
    }
  }

  void Character(std::uint32_t code, bool codePage) {
    if (hidden_) {
      return;
    }
    if (codePage) {
      // The five bytes the code page leaves undefined give 0: U+FFFD.
      code = code < 0x100 ? platform::Cp1252ToUnicode(static_cast<unsigned char>(code)) : 0;
    }
    AppendCharacter(code, &out_);
  }

  void Tag() {
    ++at_;  // the backslash
    if (at_ >= pml_.size()) {
      return;
    }
    const char tag = pml_[at_++];
    std::uint32_t code = 0;
    switch (tag) {
      case '\\':
        Put("\\");
        return;
      case 'a':
        if (Digits(pml_, at_, 3, 10, &code)) {
          at_ += 3;
          Character(code, true);
        }
        return;
      case 'U':
        if (Digits(pml_, at_, 4, 16, &code)) {
          at_ += 4;
          Character(code, false);
        }
        return;
      case 'v':
        hidden_ = !hidden_;
        return;
      case 'p':
      case 'c':
      case 'r':
      case 'x':
        BlockBreak();
        return;
      case 'X':
        // \X0 to \X4: a chapter title shown in the text.
        if (at_ < pml_.size() && pml_[at_] >= '0' && pml_[at_] <= '4') {
          ++at_;
        }
        BlockBreak();
        return;
      case 'C':
        // \C0="Title" to \C4: a chapter entry the page does not show.
        if (at_ < pml_.size() && pml_[at_] >= '0' && pml_[at_] <= '4') {
          ++at_;
        }
        SkipArgument();
        return;
      case 'S':
        // \Sp and \Sb (superscript, subscript), \Sd="id" (a sidebar mark).
        if (at_ < pml_.size() && (pml_[at_] == 'p' || pml_[at_] == 'b' || pml_[at_] == 'd')) {
          ++at_;
        }
        SkipArgument();
        return;
      case 'F':
        if (at_ < pml_.size() && pml_[at_] == 'n') {
          ++at_;
        }
        SkipArgument();
        return;
      case 'w':
        BreakLine();
        SkipArgument();
        BlockBreak();
        return;
      case 'T':
      case 'm':
      case 'q':
      case 'Q':
        SkipArgument();
        return;
      case 'i':
      case 'u':
      case 'o':
      case 'b':
      case 'B':
      case 'l':
      case 'k':
      case 'n':
      case 's':
      case 't':
      case 'I':
      case '-':
        return;  // style only, or a soft hyphen
      default:
        Put(std::string_view(&tag, 1));
        return;
    }
  }

  std::string_view pml_;
  std::size_t at_ = 0;
  bool hidden_ = false;
  std::string out_;
};

}  // namespace

std::string PmlToText(std::string_view pml) {
  return Converter(pml).Run();
}

}  // namespace palmdb::convert
