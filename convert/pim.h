// The converters of the built-in PIM applications' databases. Each
// decodes every record with its bytes untrusted: a record that is too short
// or whose strings run past its end is reported in `result->errors` by its
// index, and the others are still written. Deleted records are skipped.
#ifndef PALMDB_CONVERT_PIM_H
#define PALMDB_CONVERT_PIM_H

#include "convert/content.h"
#include "convert/export.h"

namespace palmdb::convert {

// One UTF-8 .txt per memo, "<category>/<first line>.txt"; the memos of
// Palm OS 5 are laid out alike.
void ExportMemos(const Content& content, const ExportOptions& options, ExportResult* result);

// One vCard 3.0 file, a card per record. The four custom fields go into
// NOTE as "label: value" lines, before the note itself, under the labels
// the AppInfo block gives them.
void ExportAddresses(const Content& content, const ExportOptions& options, ExportResult* result);

// One vCard 3.0 file, a card per contact of Palm OS 5: the names, seven
// phone and e-mail fields, two messaging addresses, three postal addresses,
// the web site, the birthday, the anniversary and the photo; the nine
// custom fields go into NOTE as the address book's four do.
void ExportContacts(const Content& content, const ExportOptions& options, ExportResult* result);

// One iCalendar file, a VEVENT per appointment.
void ExportDateBook(const Content& content, const ExportOptions& options, ExportResult* result);

// One iCalendar file, a VTODO per item.
void ExportToDoList(const Content& content, const ExportOptions& options, ExportResult* result);

// Palm OS 5's calendar: one iCalendar file, a VEVENT per event, and a
// VTIMEZONE per distinct zone the events' times are in.
void ExportCalendar(const Content& content, const ExportOptions& options, ExportResult* result);

// Palm OS 5's tasks: one iCalendar file, a VTODO per task.
void ExportTasks(const Content& content, const ExportOptions& options, ExportResult* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_PIM_H
