#include <algorithm>
#include <string>
#include <string_view>

#include "convert/calendar_format.h"
#include "convert/calendar_zone.h"
#include "convert/datebook_event.h"
#include "convert/datebook_format.h"
#include "convert/pim.h"
#include "convert/pim_support.h"

namespace palmdb::convert {
namespace {

using namespace calendar;

// What a calendar record holds beyond the classic appointment.
struct CalendarRecord {
  datebook::Appointment appointment;
  std::string_view location;
  bool hasZone = false;
  Bytes zone;
};

// The blocks after the texts: the first zone block is kept, the others are
// skipped. Fewer bytes than a block's header at the end are ignored.
bool ReadBlocks(const Bytes& record, std::size_t at, CalendarRecord* read, std::string* error) {
  while (record.size() - at >= kBlockHeaderSize) {
    const std::size_t length =
        static_cast<std::size_t>(record[at + kBlockIdSize] << 8 | record[at + kBlockIdSize + 1]);
    const std::size_t data = at + kBlockHeaderSize;
    if (length > record.size() - data) {
      *error = "a block runs past the end of the record";
      return false;
    }
    const auto first = record.begin() + static_cast<std::ptrdiff_t>(at);
    const auto start = record.begin() + static_cast<std::ptrdiff_t>(data);
    if (!read->hasZone && std::equal(first, first + kBlockIdSize, kZoneBlockId)) {
      read->zone.assign(start, start + static_cast<std::ptrdiff_t>(length));
      read->hasZone = true;
    }
    at = data + length;
  }
  return true;
}

bool ReadRecord(const Bytes& record, CalendarRecord* read, std::string* error) {
  RecordReader reader(record);
  std::uint8_t flags = 0;
  if (!datebook::ReadAppointment(&reader, &read->appointment, &flags, error)) {
    return false;
  }
  if ((flags & kHasLocation) != 0) {
    read->location = reader.String();
    if (!reader.ok()) {
      *error = "a text runs past the end of the record";
      return false;
    }
  }
  return ReadBlocks(record, reader.position(), read, error);
}

// The event of record `index`; empty, with the reason in the result, when
// its record cannot be read.
std::string EventOf(const Content& content, std::size_t index, const std::string& stamp,
                    const RecordUids& uids, const Categories& categories, ZoneSet* zones,
                    TextDecoder* decoder, ExportResult* result) {
  const Item& item = content.items[index];
  CalendarRecord read;
  std::string error;
  if (!ReadRecord(item.bytes, &read, &error)) {
    result->errors.push_back(RecordError(index, error));
    return {};
  }
  Zone zone;
  const bool zoned = read.hasZone && ReadZone(read.zone, decoder, &zone);
  if (read.hasZone && !zoned) {
    result->warnings.push_back(
        RecordError(index, "time zone not understood; its times are written without one"));
  }
  const datebook::UntilWriter until = [&zone](const PalmDay& end) { return UtcUntil(zone, end); };
  datebook::Occurrences when;
  if (!datebook::ReadOccurrences(read.appointment, zoned ? &until : nullptr, &when, &error)) {
    result->errors.push_back(RecordError(index, error));
    return {};
  }
  datebook::EventExtras extras;
  // A day without a time is the same day in every zone.
  if (zoned && when.timed) {
    extras.zone = zones->IdOf(zone);
  }
  extras.location = decoder->Decode(read.location);
  extras.category = categories.NameOf(item.attributes);
  return datebook::Event(content, index, stamp, uids, read.appointment, when, extras, decoder);
}

}  // namespace

void ExportCalendar(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const Categories categories = ReadCategories(content.appInfo, &decoder);
  const std::string stamp = CalendarStamp(content);
  const RecordUids uids(content);
  ZoneSet zones;
  std::string events;
  for (std::size_t index = 0; index < content.items.size(); ++index) {
    if ((content.items[index].attributes & palmdb::format::record_attribute::kDeleted) == 0) {
      events += EventOf(content, index, stamp, uids, categories, &zones, &decoder, result);
    }
  }
  const std::string fileName = DatabaseFileName(content, &decoder, "Calendar", ".ics");
  decoder.Report(result);
  if (events.empty()) {
    result->warnings.push_back("no event to write");
    return;
  }
  result->files.push_back({fileName, Calendar(zones.Components() + events)});
}

}  // namespace palmdb::convert
