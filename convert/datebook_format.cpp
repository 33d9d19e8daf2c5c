#include "convert/datebook_format.h"

#include "convert/pim_support.h"

namespace palmdb::convert::datebook {
namespace {

void PutWord(std::uint16_t value, Bytes* out) {
  out->push_back(static_cast<std::uint8_t>(value >> 8));
  out->push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void PutString(const std::string& text, Bytes* out) {
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
}

}  // namespace

bool ReadAppointment(const Bytes& record, Appointment* appointment, std::string* error) {
  RecordReader reader(record);
  std::uint8_t flags = 0;
  return ReadAppointment(&reader, appointment, &flags, error);
}

bool ReadAppointment(RecordReader* from, Appointment* appointment, std::uint8_t* flagsRead,
                     std::string* error) {
  RecordReader& reader = *from;
  appointment->startHour = reader.Byte();
  appointment->startMinute = reader.Byte();
  appointment->endHour = reader.Byte();
  appointment->endMinute = reader.Byte();
  appointment->date = reader.Word();
  const std::uint8_t flags = reader.Byte();
  *flagsRead = flags;
  reader.Byte();
  if ((flags & kHasAlarm) != 0) {
    appointment->advance = static_cast<std::int8_t>(reader.Byte());
    appointment->advanceUnit = reader.Byte();
  }
  if ((flags & kHasRepeat) != 0) {
    appointment->repeatType = reader.Byte();
    reader.Byte();
    appointment->repeatEnd = reader.Word();
    appointment->frequency = reader.Byte();
    appointment->repeatOn = reader.Byte();
    appointment->weekStart = reader.Byte();
    reader.Byte();
  }
  if ((flags & kHasExceptions) != 0) {
    const std::uint16_t count = reader.Word();
    // Bounded by the record: each takes two bytes.
    for (std::uint16_t i = 0; i < count && reader.ok(); ++i) {
      appointment->exceptions.push_back(reader.Word());
    }
  }
  if (!reader.ok()) {
    *error = "too short for an appointment";
    return false;
  }
  appointment->description = (flags & kHasDescription) != 0 ? reader.String() : std::string_view();
  appointment->note = (flags & kHasNote) != 0 ? reader.String() : std::string_view();
  if (!reader.ok()) {
    *error = "a text runs past the end of the record";
    return false;
  }
  return true;
}

Bytes WriteAppointment(const Appointment& appointment) {
  const std::uint8_t flags =
      static_cast<std::uint8_t>((appointment.advance >= 0 ? kHasAlarm : 0) |
                                (appointment.repeatType != kNoRepeat ? kHasRepeat : 0) |
                                (appointment.note.empty() ? 0 : kHasNote) |
                                (appointment.exceptions.empty() ? 0 : kHasExceptions) |
                                (appointment.description.empty() ? 0 : kHasDescription));
  Bytes out = {appointment.startHour, appointment.startMinute, appointment.endHour,
               appointment.endMinute};
  PutWord(appointment.date, &out);
  out.push_back(flags);
  out.push_back(0);
  if ((flags & kHasAlarm) != 0) {
    out.push_back(static_cast<std::uint8_t>(appointment.advance));
    out.push_back(appointment.advanceUnit);
  }
  if ((flags & kHasRepeat) != 0) {
    out.push_back(appointment.repeatType);
    out.push_back(0);
    PutWord(appointment.repeatEnd, &out);
    out.push_back(appointment.frequency);
    out.push_back(appointment.repeatOn);
    out.push_back(appointment.weekStart);
    out.push_back(0);
  }
  if ((flags & kHasExceptions) != 0) {
    PutWord(static_cast<std::uint16_t>(appointment.exceptions.size()), &out);
    for (std::uint16_t day : appointment.exceptions) {
      PutWord(day, &out);
    }
  }
  if ((flags & kHasDescription) != 0) {
    PutString(appointment.description, &out);
  }
  if ((flags & kHasNote) != 0) {
    PutString(appointment.note, &out);
  }
  return out;
}

}  // namespace palmdb::convert::datebook
