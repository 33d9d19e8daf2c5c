// Measures the plug-in against floors measured in the same run, and prints
// a Markdown table of medians:
//  1. open and list a database of many records through the exports, against
//     reading the same file into memory in one read and walking its list;
//  2. extract one entry of 1 GiB, against a plain read/write copy of the same
//     bytes with the same buffer size, and the peak memory it takes;
//  3. extract every entry of the database, against a loop that creates the
//     same files, writes the same bytes, sets the same time and closes them;
//  4. the palmdb program listing the database, against Perl's Palm::PDB
//     loading it and walking its records, when that module is installed (a
//     yardstick from outside the project, not a dependency);
//  5. deleting one record of a 64 MiB database of 65535 records through
//     DeleteFiles, written durably, against a durable copy of the file (a
//     read/write copy, then a flush of the copy to the disk);
//  6. adding a file of 512 MiB through PackFiles, against the same durable
//     copy of its bytes, and the peak memory it takes;
//  7. copying the 64 MiB database and deleting a record with the palmdb
//     program (`palmdb delete`, a process, as Perl is), against Perl's
//     Palm::PDB copying, loading, deleting and writing it durably, when that
//     module is installed;
//  8. adding one 6-byte file to a database of 60,000 records with the palmdb
//     program (`palmdb add`, a process), against deleting one record of the
//     same database with it (`palmdb delete`), each on a fresh copy made
//     untimed before the run: adding costs what copying the database costs;
//  9. listing a memo database of many memos with the converted view
//     (`palmdb --view converted list`, a process), against listing it
//     without (`palmdb list`) and exporting it to a RAM disk (`palmdb
//     export -d /dev/shm/...`, where there is one), both processes;
// 10. `palmdb export` of a Mobipocket book of about 550 KB (HTML with
//     contents links and pictures) and of a PalmDOC book of about 1 MB, as
//     processes, against the Debian programs that dump the same books
//     (`mobitool -d`, `txt2pdbdoc -d`), when they are installed.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "archive/entry_name.h"
#include "archive/extraction.h"
#include "database/big_endian.h"
#include "database/database.h"
#include "database/format.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "plugin/plugin_api.h"
#include "testdata/database_builder.h"
#include "testdata/mobi_builder.h"
#include "tools/plugin_library.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string plugin;
  std::string folder;
  unsigned records = 65535;
  std::uint64_t bigSize = std::uint64_t{1} << 30;
  int repeat = 5;
  std::string only = "12340";
  unsigned editMib = 64;
  std::uint64_t addSize = std::uint64_t{512} << 20;
};

using Plugin = palmdb::host::PluginLibrary;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct Medians {
  double subject;
  double floor;
};

// Median times of `subject` and `floor` over `repeat` rounds. The two take
// turns, first one then the other starting a round, so that both meet the
// same state of the caches and of the disk's write-back. `prepare` runs
// untimed before every run.
Medians Compare(int repeat, const std::function<void()>& prepare,
                const std::function<void()>& subject, const std::function<void()>& floor) {
  std::vector<double> times[2];
  const std::function<void()>* runs[2] = {&subject, &floor};
  for (int round = 0; round < repeat; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const int which = (round + turn) % 2;
      prepare();
      const Clock::time_point start = Clock::now();
      (*runs[which])();
      times[which].push_back(Milliseconds(Clock::now() - start));
    }
  }
  for (std::vector<double>& t : times) {
    std::sort(t.begin(), t.end());
  }
  return {times[0][times[0].size() / 2], times[1][times[1].size() / 2]};
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "palmdb-bench: %s\n", what.c_str());
  std::exit(1);
}

void EmptyFolder(const fs::path& folder) {
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
}

struct Row {
  std::string name;
  double subject;
  double floor;
  double goal;
  std::string note;
};

// Opens with the core directly, counting the read calls that opening makes.
int g_reads = 0;
std::size_t CountingRead(palmdb::platform::FileHandle file, std::uint64_t offset, void* buffer,
                         std::size_t count) {
  ++g_reads;
  return palmdb::platform::NativeOperations().readAt(file, offset, buffer, count);
}

int ReadCallsAtOpening(const std::string& path) {
  palmdb::platform::Operations counting = palmdb::platform::NativeOperations();
  counting.readAt = CountingRead;
  const palmdb::platform::Operations* previous = palmdb::platform::InstallOperations(&counting);
  g_reads = 0;
  std::unique_ptr<palmdb::Database> database;
  palmdb::OpenDatabase(path.c_str(), &database);
  database.reset();
  palmdb::platform::InstallOperations(previous);
  return g_reads;
}

palmdb::testdata::Bytes ReadAll(const std::string& path) {
  const palmdb::platform::FileHandle file = palmdb::platform::OpenForReading(path.c_str());
  std::uint64_t size = 0;
  if (file == palmdb::platform::kInvalidFile || !palmdb::platform::FileSize(file, &size)) {
    Fail("cannot read " + path);
  }
  palmdb::testdata::Bytes bytes(static_cast<std::size_t>(size));
  if (palmdb::platform::ReadAt(file, 0, bytes.data(), bytes.size()) != bytes.size()) {
    Fail("short read of " + path);
  }
  palmdb::platform::Close(file);
  return bytes;
}

std::string ManyRecords(const Options& options, const fs::path& folder) {
  palmdb::testdata::DatabaseBuilder builder;
  builder.ModificationDate(palmdb::testdata::PalmSecondsFromUnix(1709296200));
  for (unsigned i = 0; i < options.records; ++i) {
    palmdb::testdata::Bytes data(16);
    for (std::size_t b = 0; b < data.size(); ++b) {
      data[b] = static_cast<std::uint8_t>(i + b);
    }
    builder.AddRecord(data, static_cast<std::uint8_t>(i & 0xF0));
  }
  const std::string path = (folder / "many.pdb").string();
  if (!palmdb::testdata::WriteNewFile(path, builder.Build())) {
    Fail("cannot write " + path);
  }
  return path;
}

PalmdbArchiveHandle OpenThroughExports(const Plugin& plugin, const std::string& path) {
  std::string name = path;
  PalmdbOpenArchiveRecord record{};
  record.archiveName = name.data();
  PalmdbArchiveHandle handle = plugin.openArchive(&record);
  if (handle == nullptr) {
    Fail("cannot open " + path);
  }
  return handle;
}

// Open (and list) through the exports, against one read and a walk of the
// list. Opening alone is measured too: listing adds two calls into the
// library and a filled header record per entry, which the floor does not do.
std::vector<Row> OpenAndList(const Options& options, const Plugin& plugin,
                             const std::string& path) {
  std::uint64_t checksum = 0;
  const auto walk = [&](bool list) {
    PalmdbArchiveHandle handle = OpenThroughExports(plugin, path);
    PalmdbHeaderRecord header{};
    while (list && plugin.readHeader(handle, &header) == 0) {
      checksum += static_cast<std::uint32_t>(header.unpackedSize);
      plugin.processFile(handle, PalmdbOpSkip, nullptr, nullptr);
    }
    plugin.closeArchive(handle);
  };
  const auto floorWalk = [&] {
    const palmdb::testdata::Bytes bytes = ReadAll(path);
    namespace format = palmdb::format;
    const std::size_t count = palmdb::ReadBigEndian16(bytes.data() + format::header::kEntryCount);
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* entry =
          bytes.data() + format::header::kSize + i * format::record_entry::kSize;
      const std::uint32_t offset = palmdb::ReadBigEndian32(entry + format::record_entry::kOffset);
      checksum += offset - previous + entry[format::record_entry::kAttributes];
      previous = offset;
    }
  };
  const auto nothing = [] {};
  const Medians open = Compare(
      options.repeat, nothing, [&] { walk(false); }, floorWalk);
  const Medians list = Compare(
      options.repeat, nothing, [&] { walk(true); }, floorWalk);
  char note[96];
  std::snprintf(note, sizeof note, "%u records; %d read calls at opening", options.records,
                ReadCallsAtOpening(path));
  if (checksum == 0) {
    Fail("nothing listed");
  }
  char perEntry[96];
  std::snprintf(perEntry, sizeof perEntry, "%.1f ns per entry listed",
                (list.subject - open.subject) * 1e6 / options.records);
  std::vector<Row> rows = {{"open", open.subject, open.floor, 1.5, note},
                           {"open and list", list.subject, list.floor, 1.5, perEntry}};

  // Where the plug-in has the wide entry points, listing through them (UTF-16
  // names and path in a record of 2 x 1024 characters) against ReadHeader.
  if (plugin.openArchiveW != nullptr && plugin.readHeaderExW != nullptr) {
    std::u16string units;
    if (!palmdb::platform::Utf8ToUtf16(path, &units)) {
      Fail("cannot convert " + path);
    }
    std::wstring widePath(units.begin(), units.end());
    auto header = std::make_unique<PalmdbHeaderRecordExW>();
    const auto walkWide = [&] {
      PalmdbOpenArchiveRecordW record{};
      record.archiveName = widePath.data();
      PalmdbArchiveHandle handle = plugin.openArchiveW(&record);
      if (handle == nullptr) {
        Fail("cannot open " + path + " through OpenArchiveW");
      }
      while (plugin.readHeaderExW(handle, header.get()) == 0) {
        checksum += header->unpackedSize;
        plugin.processFileW(handle, PalmdbOpSkip, nullptr, nullptr);
      }
      plugin.closeArchive(handle);
    };
    const Medians wide = Compare(options.repeat, nothing, walkWide, [&] { walk(true); });
    rows.push_back({"list through ReadHeaderExW", wide.subject, wide.floor, 1.5,
                    "floor: the same listing through ReadHeader"});
  }
  return rows;
}

// Peak resident memory of the process in bytes, or 0 where unknown.
std::uint64_t PeakMemory() {
  return palmdb::platform::PeakResidentBytes();
}

Row ExtractBig(const Options& options, const Plugin& plugin, const fs::path& folder) {
  // One record whose bytes are a sparse stretch of zeros.
  palmdb::testdata::Bytes head =
      palmdb::testdata::DatabaseBuilder().AddRecord(palmdb::testdata::Bytes{}).Build();
  const std::string path = (folder / "big.pdb").string();
  if (!palmdb::testdata::WriteNewFile(path, head)) {
    Fail("cannot write " + path);
  }
  std::error_code error;
  fs::resize_file(path, head.size() + options.bigSize, error);
  if (error) {
    Fail("cannot grow " + path + ": " + error.message());
  }
  const fs::path out = folder / "big-out";
  const std::string target = (out / "entry").string();
  const auto prepare = [&] { EmptyFolder(out); };

  const auto extract = [&] {
    PalmdbArchiveHandle handle = OpenThroughExports(plugin, path);
    PalmdbHeaderRecord header{};
    std::string targetName = target;
    if (plugin.readHeader(handle, &header) != 0 ||
        plugin.processFile(handle, PalmdbOpExtract, nullptr, targetName.data()) != 0) {
      Fail("cannot extract the large entry");
    }
    plugin.closeArchive(handle);
  };
  const auto copy = [&] {
    const palmdb::platform::FileHandle in = palmdb::platform::OpenForReading(path.c_str());
    const palmdb::platform::FileHandle written = palmdb::platform::CreateNew(target.c_str());
    std::vector<std::uint8_t> buffer(palmdb::kCopyBufferSize);
    std::uint64_t position = head.size();
    std::uint64_t left = options.bigSize;
    while (left > 0) {
      const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
      if (palmdb::platform::ReadAt(in, position, buffer.data(), piece) != piece ||
          palmdb::platform::Write(written, buffer.data(), piece) != piece) {
        Fail("plain copy failed");
      }
      position += piece;
      left -= piece;
    }
    palmdb::platform::Close(written);
    palmdb::platform::Close(in);
  };
  // The extraction's own growth of the peak, before anything else of this
  // measurement has raised it.
  prepare();
  const std::uint64_t before = PeakMemory();
  extract();
  const std::uint64_t after = PeakMemory();
  const Medians medians = Compare(options.repeat, prepare, extract, copy);
  EmptyFolder(out);
  char note[128];
  std::snprintf(note, sizeof note,
                "%.0f MiB entry; peak resident memory %.1f MiB before, %.1f after",
                static_cast<double>(options.bigSize) / 1048576.0,
                static_cast<double>(before) / 1048576.0, static_cast<double>(after) / 1048576.0);
  return {"extract one large entry", medians.subject, medians.floor, 1.1, note};
}

Row ExtractAll(const Options& options, const Plugin& plugin, const std::string& path,
               const fs::path& folder) {
  const fs::path out = folder / "all-out";
  const std::string outWithSeparator = out.string() + palmdb::platform::PathSeparator();
  const auto prepare = [&] { EmptyFolder(out); };

  const auto extractAll = [&] {
    PalmdbArchiveHandle handle = OpenThroughExports(plugin, path);
    std::string destination = outWithSeparator;
    PalmdbHeaderRecord header{};
    while (plugin.readHeader(handle, &header) == 0) {
      if (plugin.processFile(handle, PalmdbOpExtract, destination.data(), header.fileName) != 0) {
        Fail(std::string("cannot extract ") + header.fileName);
      }
    }
    plugin.closeArchive(handle);
  };

  // The same files, bytes and time, made directly.
  const palmdb::testdata::Bytes bytes = ReadAll(path);
  std::unique_ptr<palmdb::Database> state;
  if (palmdb::OpenDatabase(path.c_str(), &state) != palmdb::Status::kOk) {
    Fail("cannot open " + path);
  }
  std::vector<std::string> targets;
  for (std::uint32_t i = 0; i < state->catalogue.count; ++i) {
    char name[palmdb::kMaxEntryNameSize];
    palmdb::FormatEntryName(state->catalogue.entries[i], name);
    targets.push_back(outWithSeparator + name);
  }
  const auto plainLoop = [&] {
    for (std::uint32_t i = 0; i < state->catalogue.count; ++i) {
      const palmdb::Entry& entry = state->catalogue.entries[i];
      const palmdb::platform::FileHandle file = palmdb::platform::CreateNew(targets[i].c_str());
      if (file == palmdb::platform::kInvalidFile ||
          palmdb::platform::Write(file, bytes.data() + entry.offset, entry.size) != entry.size) {
        Fail("plain loop failed");
      }
      palmdb::platform::SetLastWriteTime(file, state->archiveTime);
      palmdb::platform::Close(file);
    }
  };
  const Medians medians = Compare(options.repeat, prepare, extractAll, plainLoop);
  state.reset();
  EmptyFolder(out);
  char note[64];
  std::snprintf(note, sizeof note, "%u files of 16 bytes", options.records);
  return {"extract every entry", medians.subject, medians.floor, 1.2, note};
}

// The palmdb program beside this one.
std::string ProgramPath() {
  char folder[4096];
  if (!palmdb::platform::ExecutableFolder(folder, sizeof folder)) {
    return PALMDB_CLI_FILE_NAME;
  }
  return std::string(folder) + PALMDB_CLI_FILE_NAME;
}

// Runs a command line through the command processor with its output going
// to `output`; true when it succeeded.
bool RunQuietly(const std::string& command, const fs::path& output) {
  std::fflush(nullptr);
  return std::system((command + " >\"" + output.string() + "\" 2>&1").c_str()) == 0;
}

// A process that lists the database against one that loads it with Perl's
// Palm::PDB and walks its records; both start a program, read the file and
// go through every entry. Returns no row when Perl or the module is missing.
std::vector<Row> AgainstPalmPdb(const Options& options, const std::string& path,
                                const fs::path& folder) {
  const fs::path script = folder / "walk.pl";
  {
    const std::string text =
        "my $pdb = Palm::PDB->new;\n"
        "$pdb->Load($ARGV[0]);\n"
        "my $bytes = 0;\n"
        "$bytes += length($_->{data}) for @{$pdb->{records}};\n"
        "print scalar(@{$pdb->{records}}), \" records, $bytes bytes\\n\";\n";
    const palmdb::testdata::Bytes bytes(text.begin(), text.end());
    std::error_code error;
    fs::remove(script, error);
    if (!palmdb::testdata::WriteNewFile(script.string(), bytes)) {
      Fail("cannot write " + script.string());
    }
  }
  const fs::path output = folder / "yardstick.txt";
  const std::string perl =
      "perl -MPalm::PDB -MPalm::Raw \"" + script.string() + "\" \"" + path + "\"";
  if (!RunQuietly("perl -MPalm::PDB -MPalm::Raw -e1", output)) {
    std::printf(
        "Perl's Palm::PDB is not installed (Debian: libpalm-perl): measurement 4 left out\n");
    return {};
  }
  const std::string program = ProgramPath();
  const std::string list = "\"" + program + "\" list \"" + path + "\"";
  bool failed = false;
  const Medians medians = Compare(
      options.repeat, [] {}, [&] { failed = !RunQuietly(list, output) || failed; },
      [&] { failed = !RunQuietly(perl, output) || failed; });
  if (failed) {
    Fail("palmdb list or the Perl walk failed; see " + output.string());
  }
  char note[128];
  std::snprintf(note, sizeof note,
                "floor: Palm::PDB loading and walking the file, %.1f times as long; %u records",
                medians.floor / medians.subject, options.records);
  return {{"palmdb list, as a process", medians.subject, medians.floor, 0.1, note}};
}

// A durable copy: read and written through a buffer of the extraction's size,
// then flushed to the disk, as `cp` followed by an fsync of the copy; without
// `durable`, as `cp` alone.
void DurableCopy(const std::string& from, const std::string& to, bool durable = true) {
  const palmdb::platform::FileHandle in = palmdb::platform::OpenForReading(from.c_str());
  const palmdb::platform::FileHandle out = palmdb::platform::CreateNew(to.c_str());
  std::uint64_t left = 0;
  if (in == palmdb::platform::kInvalidFile || out == palmdb::platform::kInvalidFile ||
      !palmdb::platform::FileSize(in, &left)) {
    Fail("cannot copy " + from);
  }
  std::vector<std::uint8_t> buffer(palmdb::kCopyBufferSize);
  std::uint64_t position = 0;
  while (left > 0) {
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    if (palmdb::platform::ReadAt(in, position, buffer.data(), piece) != piece ||
        palmdb::platform::Write(out, buffer.data(), piece) != piece) {
      Fail("copy failed");
    }
    position += piece;
    left -= piece;
  }
  if (durable && !palmdb::platform::Flush(out)) {
    Fail("cannot flush " + to);
  }
  palmdb::platform::Close(out);
  palmdb::platform::Close(in);
}

// A database of 65535 records of equal size, `mib` MiB in all.
std::string EditedDatabase(const Options& options, const fs::path& folder) {
  palmdb::testdata::DatabaseBuilder builder;
  const std::size_t recordSize = (std::size_t{options.editMib} << 20) / 65535;
  for (unsigned i = 0; i < 65535; ++i) {
    builder.AddRecord(palmdb::testdata::Bytes(recordSize, static_cast<std::uint8_t>(i)));
  }
  const std::string path = (folder / "edit-original.pdb").string();
  if (!palmdb::testdata::WriteNewFile(path, builder.Build())) {
    Fail("cannot write " + path);
  }
  return path;
}

std::string HostList(const std::string& name) {
  return name + std::string(2, '\0');
}

Row DeleteOneRecord(const Options& options, const Plugin& plugin, const std::string& original,
                    const fs::path& folder) {
  const std::string edited = (folder / "edited.pdb").string();
  const std::string copy = (folder / "copy.pdb").string();
  const auto prepare = [&] {
    std::error_code error;
    fs::remove(edited, error);
    fs::remove(copy, error);
    fs::copy_file(original, edited, error);
    if (error) {
      Fail("cannot copy " + original);
    }
  };
  const auto remove = [&] {
    std::string path = edited;
    std::string list = HostList("#32767.data");
    if (plugin.deleteFiles(path.data(), list.data()) != 0) {
      Fail("DeleteFiles failed");
    }
  };
  const Medians medians =
      Compare(options.repeat, prepare, remove, [&] { DurableCopy(edited, copy); });
  char note[96];
  std::snprintf(note, sizeof note, "65535 records, %u MiB; floor: copy, then fsync of the copy",
                options.editMib);
  return {"delete one record, durably", medians.subject, medians.floor, 1.5, note};
}

Row AddLargeFile(const Options& options, const Plugin& plugin, const fs::path& folder) {
  const fs::path sources = folder / "add-sources";
  EmptyFolder(sources);
  const std::string source = (sources / "large.bin").string();
  if (!palmdb::testdata::WriteNewFile(source, palmdb::testdata::Bytes(1, 1))) {
    Fail("cannot write " + source);
  }
  std::error_code error;
  fs::resize_file(source, options.addSize, error);
  if (error) {
    Fail("cannot grow " + source + ": " + error.message());
  }
  const std::string database = (folder / "added.pdb").string();
  const std::string copy = (folder / "added-copy.bin").string();
  const auto prepare = [&] {
    std::error_code ignored;
    fs::remove(database, ignored);
    fs::remove(copy, ignored);
  };
  const auto add = [&] {
    std::string path = database;
    std::string from = sources.string() + palmdb::platform::PathSeparator();
    std::string list = HostList("large.bin");
    if (plugin.packFiles(path.data(), nullptr, from.data(), list.data(), 0) != 0) {
      Fail("PackFiles failed");
    }
  };
  prepare();
  const std::uint64_t before = PeakMemory();
  add();
  const std::uint64_t after = PeakMemory();
  const Medians medians = Compare(options.repeat, prepare, add, [&] { DurableCopy(source, copy); });
  prepare();
  char note[128];
  std::snprintf(note, sizeof note,
                "%.0f MiB file; peak resident memory %.1f MiB before, %.1f after",
                static_cast<double>(options.addSize) / 1048576.0,
                static_cast<double>(before) / 1048576.0, static_cast<double>(after) / 1048576.0);
  return {"add one large file, durably", medians.subject, medians.floor, 1.5, note};
}

// Copying the database and deleting a record with `palmdb delete`, against
// Perl's Palm::PDB doing the same and syncing the result. Both delete in a
// process of their own; the copy of this side is made here, read and
// written as File::Copy does and, as there, not flushed: the edit makes the
// result durable.
std::vector<Row> DeleteAgainstPalmPdb(const Options& options, const std::string& original,
                                      const fs::path& folder) {
  const fs::path script = folder / "delete.pl";
  {
    const std::string text =
        "use File::Copy; use IO::Handle;\n"
        "copy($ARGV[0], $ARGV[1]) or die;\n"
        "my $pdb = Palm::PDB->new;\n"
        "$pdb->Load($ARGV[1]);\n"
        "splice(@{$pdb->{records}}, 32767, 1);\n"
        "$pdb->Write($ARGV[1]);\n"
        "open(my $fh, '<', $ARGV[1]) or die; $fh->sync or die;\n";
    const palmdb::testdata::Bytes bytes(text.begin(), text.end());
    std::error_code error;
    fs::remove(script, error);
    if (!palmdb::testdata::WriteNewFile(script.string(), bytes)) {
      Fail("cannot write " + script.string());
    }
  }
  const fs::path output = folder / "yardstick-delete.txt";
  if (!RunQuietly("perl -MPalm::PDB -MPalm::Raw -e1", output)) {
    std::printf(
        "Perl's Palm::PDB is not installed (Debian: libpalm-perl): measurement 7 left out\n");
    return {};
  }
  const std::string edited = (folder / "edited-perl.pdb").string();
  const std::string perl = "perl -MPalm::PDB -MPalm::Raw \"" + script.string() + "\" \"" +
                           original + "\" \"" + edited + "\"";
  const auto prepare = [&] {
    std::error_code error;
    fs::remove(edited, error);
  };
  const std::string remove = "\"" + ProgramPath() + "\" delete \"" + edited + "\" \"#32767.data\"";
  bool failed = false;
  const Medians medians = Compare(
      options.repeat, prepare,
      [&] {
        DurableCopy(original, edited, false);
        failed = !RunQuietly(remove, output) || failed;
      },
      [&] { failed = !RunQuietly(perl, output) || failed; });
  if (failed) {
    Fail("palmdb delete or the Perl edit failed; see " + output.string());
  }
  char note[128];
  std::snprintf(note, sizeof note,
                "floor: Palm::PDB copy, load, delete, write, sync: %.1f times as long",
                medians.floor / medians.subject);
  return {{"copy and palmdb delete a record, as a process", medians.subject, medians.floor,
           1.0 / 3.0, note}};
}

// `palmdb add` of one small file against `palmdb delete` of one record, on a
// fresh copy of a database of 60,000 records each time.
Row AddAgainstDelete(const Options& options, const fs::path& folder) {
  constexpr unsigned kRecords = 60000;
  palmdb::testdata::DatabaseBuilder builder;
  for (unsigned i = 0; i < kRecords; ++i) {
    builder.AddRecord(palmdb::testdata::Bytes(16, static_cast<std::uint8_t>(i)));
  }
  const std::string original = (folder / "add-original.pdb").string();
  const std::string source = (folder / "small.txt").string();
  const std::string edited = (folder / "add-edited.pdb").string();
  if (!palmdb::testdata::WriteNewFile(original, builder.Build()) ||
      !palmdb::testdata::WriteNewFile(source, palmdb::testdata::Bytes(6, 'x'))) {
    Fail("cannot write " + original);
  }
  const auto prepare = [&] {
    std::error_code error;
    fs::remove(edited, error);
    DurableCopy(original, edited, false);
  };
  const fs::path output = folder / "add-delete.txt";
  const std::string program = "\"" + ProgramPath() + "\" ";
  const std::string add = program + "add \"" + edited + "\" \"" + source + "\"";
  const std::string remove = program + "delete \"" + edited + "\" \"#30000.data\"";
  bool failed = false;
  const Medians medians = Compare(
      options.repeat, prepare, [&] { failed = !RunQuietly(add, output) || failed; },
      [&] { failed = !RunQuietly(remove, output) || failed; });
  if (failed) {
    Fail("palmdb add or palmdb delete failed; see " + output.string());
  }
  return {"palmdb add of a 6-byte file, against palmdb delete of a record, as processes",
          medians.subject, medians.floor, 2.0, "60000 records; a fresh copy before each run"};
}

// A memo database of `count` memos, each a title line of its own and a
// line of text, in four categories.
std::string ManyMemos(unsigned count, const fs::path& folder) {
  palmdb::testdata::Bytes appInfo(276, 0);
  const char* names[] = {"Unfiled", "Business", "Personal", "Ideas"};
  for (std::size_t i = 0; i < 4; ++i) {
    std::memcpy(appInfo.data() + 2 + 16 * i, names[i], std::strlen(names[i]));
  }
  palmdb::testdata::DatabaseBuilder builder;
  builder.Name("MemoDB").TypeAndCreator("DATA", "memo").AppInfo(appInfo);
  for (unsigned i = 0; i < count; ++i) {
    const std::string text = "Memo " + std::to_string(i) + "\nbread, milk and coffee" + '\0';
    builder.AddRecord(palmdb::testdata::Bytes(text.begin(), text.end()),
                      static_cast<std::uint8_t>(i & 3));
  }
  const std::string path = (folder / "memos.pdb").string();
  if (!palmdb::testdata::WriteNewFile(path, builder.Build())) {
    Fail("cannot write " + path);
  }
  return path;
}

// The converted view listed by the program against the listing without it
// and an export to a RAM disk: the view converts once what export converts,
// and writes nothing.
Row ViewAgainstExport(const Options& options, const fs::path& folder) {
  const unsigned count = std::min(options.records, 10000u);
  const std::string memos = ManyMemos(count, folder);
  const fs::path ram = fs::exists("/dev/shm") ? fs::path("/dev/shm") : folder;
  const fs::path exported = ram / "palmdb-bench-export";
  const fs::path output = folder / "view.txt";
  const std::string program = "\"" + ProgramPath() + "\"";
  const std::string view = program + " --view converted list \"" + memos + "\"";
  const std::string list = program + " --view entries list \"" + memos + "\"";
  const std::string exporting =
      program + " export -q \"" + memos + "\" -d \"" + exported.string() + "\"";
  bool failed = false;
  const Medians medians = Compare(
      options.repeat, [&] { EmptyFolder(exported); },
      [&] { failed = !RunQuietly(view, output) || failed; },
      [&] {
        failed = !RunQuietly(list, output) || failed;
        failed = !RunQuietly(exporting, output) || failed;
      });
  std::error_code error;
  fs::remove_all(exported, error);
  if (failed) {
    Fail("palmdb list or export failed; see " + output.string());
  }
  char note[160];
  std::snprintf(note, sizeof note,
                "%u memos; floor: palmdb list, then palmdb export to %s; processes", count,
                ram.string().c_str());
  return {"list with the converted view, as a process", medians.subject, medians.floor, 1.0, note};
}

// Prose for the e-books: words drawn from a short list, in sentences and
// paragraphs, which PalmDOC compresses about as well as a novel.
std::string Prose(std::size_t bytes, std::uint32_t seed) {
  static const char* const kWords[] = {
      "the",    "of",       "and",     "a",          "to",       "in",      "he",      "was",
      "that",   "it",       "his",     "her",        "with",     "as",      "had",     "for",
      "she",    "not",      "at",      "but",        "be",       "on",      "they",    "from",
      "which",  "river",    "house",   "letter",     "morning",  "evening", "garden",  "silence",
      "window", "stranger", "journey", "remembered", "answered", "quickly", "beneath", "across",
      "old",    "small",    "bright",  "weary",      "distant",  "golden",  "Palm",    "harbour"};
  const std::uint32_t count = sizeof kWords / sizeof kWords[0];
  // Every other word made of two to four syllables: a vocabulary as large
  // as a book's.
  static const char* const kSyllables[] = {"ar",  "be", "con", "den", "el",  "for", "gra", "hin",
                                           "is",  "jo", "ka",  "lo",  "mer", "nat", "or",  "pen",
                                           "qui", "ro", "sta", "tur", "un",  "ve",  "wil", "yo"};
  const std::uint32_t syllables = sizeof kSyllables / sizeof kSyllables[0];
  std::string text;
  text.reserve(bytes + 32);
  std::uint32_t state = seed;
  const auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 16;
  };
  while (text.size() < bytes) {
    if (next() % 2 == 0) {
      text += kWords[next() % count];
    } else {
      for (std::uint32_t n = 2 + next() % 3; n > 0; --n) {
        text += kSyllables[next() % syllables];
      }
    }
    text += next() % 13 == 0 ? ". " : " ";
  }
  return text;
}

// A Mobipocket book of chapters with pictures and a contents list at the
// end linking to them, and a PalmDOC book of plain prose.
void WriteBooks(const std::string& mobi, const std::string& palmDoc) {
  palmdb::testdata::MobiBook book;
  book.title = "Benchmark";
  book.author = "palmdb-bench";
  book.codePage = 1252;
  book.text = "<html><head><guide></guide></head><body>";
  std::string contents = "<h1>Contents</h1>";
  for (unsigned chapter = 1; chapter <= 40; ++chapter) {
    char link[96];
    std::snprintf(link, sizeof link, "<p><a filepos=%010u>Chapter %u</a></p>",
                  static_cast<unsigned>(book.text.size()), chapter);
    contents += link;
    book.text +=
        "<h1>Chapter " + std::to_string(chapter) + "</h1><p>" + Prose(19000, chapter) + "</p>";
    if (chapter % 4 == 0) {
      char picture[48];
      std::snprintf(picture, sizeof picture, "<p><img recindex=\"%05u\"></p>", chapter / 4);
      book.text += picture;
      palmdb::testdata::Bytes jpeg(16384);
      std::uint32_t state = chapter;
      for (std::uint8_t& byte : jpeg) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
      }
      jpeg[0] = 0xFF;
      jpeg[1] = 0xD8;
      jpeg[2] = 0xFF;
      book.resources.push_back(std::move(jpeg));
    }
  }
  book.text += contents + "</body></html>";
  if (!palmdb::testdata::WriteNewFile(mobi, palmdb::testdata::BuildMobiBook(book)) ||
      !palmdb::testdata::WriteNewFile(
          palmDoc, palmdb::testdata::PalmDocBook("Benchmark", Prose(1800000, 7), true))) {
    Fail("cannot write the books");
  }
}

// `palmdb export` of each book against the peer that dumps it, both as
// processes writing into an emptied folder; a row only for the peers that
// are installed.
std::vector<Row> EbooksAgainstPeers(const Options& options, const fs::path& folder) {
  const std::string mobi = (folder / "book.mobi").string();
  const std::string palmDoc = (folder / "book.pdb").string();
  WriteBooks(mobi, palmDoc);
  const fs::path out = folder / "ebook-out";
  const fs::path output = folder / "ebook.txt";
  const std::string program = "\"" + ProgramPath() + "\" export ";
  const struct {
    const char* peer;
    const char* probe;
    std::string book;
    std::string command;
  } pairs[] = {
      {"mobitool -d", "mobitool -v", mobi,
       "mobitool -d -o \"" + out.string() + "\" \"" + mobi + "\""},
      {"txt2pdbdoc -d", "txt2pdbdoc -V", palmDoc,
       "txt2pdbdoc -d \"" + palmDoc + "\" \"" + (out / "book.txt").string() + "\""},
  };
  std::vector<Row> rows;
  for (const auto& pair : pairs) {
    if (!RunQuietly(pair.probe, output)) {
      std::printf("%s is not installed (scripts/install-deps.sh bench): its row is left out\n",
                  pair.peer);
      continue;
    }
    const std::string ours = program + "\"" + pair.book + "\" -d \"" + out.string() + "\"";
    bool failed = false;
    const Medians medians = Compare(
        options.repeat, [&] { EmptyFolder(out); },
        [&] { failed = !RunQuietly(ours, output) || failed; },
        [&] { failed = !RunQuietly(pair.command, output) || failed; });
    if (failed) {
      Fail(std::string("palmdb export or ") + pair.peer + " failed; see " + output.string());
    }
    std::error_code error;
    char note[96];
    std::snprintf(note, sizeof note, "floor: %s on the same book of %u KB", pair.peer,
                  static_cast<unsigned>(fs::file_size(pair.book, error) / 1024));
    rows.push_back({std::string("palmdb export of a ") +
                        (pair.book == mobi ? "Mobipocket" : "PalmDOC") + " book, as a process",
                    medians.subject, medians.floor, 1.0, note});
  }
  EmptyFolder(out);
  return rows;
}

void Usage() {
  std::printf(
      "usage: palmdb-bench [--plugin PATH] [--dir DIR] [--records N] [--big-mib N]\n"
      "                    [--repeat N] [--only 123456789] [--edit-mib N] [--add-mib N]\n"
      "Times the plug-in against floors measured in the same run and prints medians.\n"
      "  --plugin PATH  the plug-in library (default: beside this program)\n"
      "  --dir DIR      where to make the work folder palmdb-bench.work (default: temp)\n"
      "  --records N    records of the listed and extracted database (default 65535)\n"
      "  --big-mib N    size of the large entry in MiB (default 1024)\n"
      "  --repeat N     runs per measurement; the median is shown (default 5)\n"
      "  --only DIGITS  which measurements to run (default 12340; 5-8 edit databases,\n"
      "                 9 the converted view, 0 the e-books against their peers)\n"
      "  --edit-mib N   size of the edited database of 65535 records (default 64)\n"
      "  --add-mib N    size of the file added (default 512)\n");
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--plugin" && hasValue) {
      options.plugin = argv[++i];
    } else if (arg == "--dir" && hasValue) {
      options.folder = argv[++i];
    } else if (arg == "--records" && hasValue) {
      options.records = static_cast<unsigned>(std::clamp(std::atol(argv[++i]), 1L, 65535L));
    } else if (arg == "--big-mib" && hasValue) {
      options.bigSize =
          std::uint64_t{1048576} * static_cast<std::uint64_t>(std::max(1L, std::atol(argv[++i])));
    } else if (arg == "--repeat" && hasValue) {
      options.repeat = static_cast<int>(std::clamp(std::atol(argv[++i]), 1L, 1000L));
    } else if (arg == "--only" && hasValue) {
      options.only = argv[++i];
    } else if (arg == "--edit-mib" && hasValue) {
      options.editMib = static_cast<unsigned>(std::clamp(std::atol(argv[++i]), 1L, 4000L));
    } else if (arg == "--add-mib" && hasValue) {
      options.addSize =
          std::uint64_t{1048576} * static_cast<std::uint64_t>(std::max(1L, std::atol(argv[++i])));
    } else {
      Usage();
      return arg == "--help" ? 0 : 2;
    }
  }
  if (options.plugin.empty()) {
    options.plugin = palmdb::host::DefaultPluginPath();
  }
  // A folder of the benchmark's own inside the one given, so that emptying
  // it never touches anything else.
  const fs::path folder =
      (options.folder.empty() ? fs::temp_directory_path() : fs::path(options.folder)) /
      "palmdb-bench.work";
  EmptyFolder(folder);

  Plugin plugin;
  if (!palmdb::host::LoadPluginLibrary(options.plugin, &plugin) ||
      !palmdb::host::MissingExports(plugin, true).empty()) {
    Fail("cannot load the plug-in " + options.plugin);
  }

  std::vector<Row> rows;
  // Adding the large file first, while the peak memory is still the
  // program's own.
  if (options.only.find('6') != std::string::npos) {
    rows.push_back(AddLargeFile(options, plugin, folder));
  }
  const bool needMany = options.only.find_first_of("134") != std::string::npos;
  const std::string many = needMany ? ManyRecords(options, folder) : std::string();
  if (options.only.find('1') != std::string::npos) {
    for (const Row& row : OpenAndList(options, plugin, many)) {
      rows.push_back(row);
    }
  }
  if (options.only.find('2') != std::string::npos) {
    rows.push_back(ExtractBig(options, plugin, folder));
  }
  if (options.only.find('3') != std::string::npos) {
    rows.push_back(ExtractAll(options, plugin, many, folder));
  }
  if (options.only.find('4') != std::string::npos) {
    for (const Row& row : AgainstPalmPdb(options, many, folder)) {
      rows.push_back(row);
    }
  }

  const bool needEdited = options.only.find_first_of("57") != std::string::npos;
  const std::string edited = needEdited ? EditedDatabase(options, folder) : std::string();
  if (options.only.find('5') != std::string::npos) {
    rows.push_back(DeleteOneRecord(options, plugin, edited, folder));
  }
  if (options.only.find('7') != std::string::npos) {
    for (const Row& row : DeleteAgainstPalmPdb(options, edited, folder)) {
      rows.push_back(row);
    }
  }

  if (options.only.find('8') != std::string::npos) {
    rows.push_back(AddAgainstDelete(options, folder));
  }
  if (options.only.find('9') != std::string::npos) {
    rows.push_back(ViewAgainstExport(options, folder));
  }
  if (options.only.find('0') != std::string::npos) {
    for (const Row& row : EbooksAgainstPeers(options, folder)) {
      rows.push_back(row);
    }
  }

  std::printf("| measurement | plug-in (ms) | floor (ms) | ratio | goal | met | notes |\n");
  std::printf("|---|---:|---:|---:|---:|---|---|\n");
  for (const Row& row : rows) {
    const double ratio = row.subject / row.floor;
    std::printf("| %s | %.2f | %.2f | %.2f | %.1f | %s | %s |\n", row.name.c_str(), row.subject,
                row.floor, ratio, row.goal, ratio <= row.goal ? "yes" : "no", row.note.c_str());
  }
  palmdb::host::UnloadPluginLibrary(&plugin);
  std::error_code error;
  fs::remove_all(folder, error);
  return 0;
}
