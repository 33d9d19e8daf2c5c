// palmdb list: one line per entry, through the plug-in as a file manager
// lists a database; with --long, through the core, with the fields the
// host's record does not carry and the renditions of each bitmap resource.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

#include "convert/application.h"
#include "convert/content.h"
#include "platform/paths.h"
#include "report/report.h"
#include "report/report_words.h"
#include "tools/commands.h"
#include "tools/core_access.h"
#include "tools/session.h"

namespace palmdb::cli {
namespace {

// Windows attribute bits: read-only, hidden, system, archive.
struct HostAttribute {
  std::uint32_t bit;
  char letter;
  const char* name;
};
constexpr HostAttribute kHostAttributes[] = {
    {0x01, 'R', "read-only"}, {0x02, 'H', "hidden"}, {0x04, 'S', "system"}, {0x20, 'A', "archive"}};
// A folder of the converted view; only folders show it, as a fifth letter.
constexpr HostAttribute kFolderAttribute = {0x10, 'D', "folder"};

std::string AttributeText(std::uint32_t attributes) {
  if constexpr (kLinuxHost) {
    // A POSIX mode, as ls shows it.
    const std::uint32_t kind = attributes & 0170000u;
    std::string text = kind == 0100000u ? "-" : kind == 0040000u ? "d" : "?";
    const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
      text += (attributes & (0400u >> bit)) != 0 ? letters[bit] : '-';
    }
    return text;
  } else {
    std::string text;
    for (const HostAttribute& attribute : kHostAttributes) {
      text += (attributes & attribute.bit) != 0 ? attribute.letter : '-';
    }
    if ((attributes & kFolderAttribute.bit) != 0) {
      text += kFolderAttribute.letter;
    }
    return text;
  }
}

// The attributes as names, an array as `list --long --json` gives a
// record's flags. A file mode tells only whether the entry is read-only or
// a folder.
report::Json AttributeNames(std::uint32_t attributes) {
  report::Json names = report::Json::array();
  if constexpr (kLinuxHost) {
    if ((attributes & 0200u) == 0) {
      names.push_back("read-only");
    }
    if ((attributes & 0170000u) == 0040000u) {
      names.push_back("folder");
    }
  } else {
    for (const HostAttribute& attribute : kHostAttributes) {
      if ((attributes & attribute.bit) != 0) {
        names.push_back(attribute.name);
      }
    }
    if ((attributes & kFolderAttribute.bit) != 0) {
      names.push_back(kFolderAttribute.name);
    }
  }
  return names;
}

std::string TimeText(std::int32_t fileTime) {
  if constexpr (kLinuxHost) {
    // Seconds since 1970 UTC, shown in local time.
    char text[32];
    const std::time_t seconds = static_cast<std::time_t>(fileTime);
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) {
      return "(no valid date)";
    }
    return text;
  } else {
    return report::DosTimeText(static_cast<std::uint32_t>(fileTime));
  }
}

// The time of a listing's line. Every entry of a database carries the same
// time, and turning it into local time asks the system for the time zone,
// which costs more than everything else a line does: it is converted once
// and the text kept for as long as the time stays the same.
class ListingTime {
 public:
  const std::string& Text(std::int32_t fileTime) {
    if (!known_ || fileTime != time_) {
      text_ = TimeText(fileTime);
      time_ = fileTime;
      known_ = true;
    }
    return text_;
  }

 private:
  bool known_ = false;
  std::int32_t time_ = 0;
  std::string text_;
};

int ListThroughPlugin(const PluginSession& session, const std::string& path, bool json) {
  PluginArchive archive(session, path);
  if (!archive.IsOpen()) {
    Complain(platform::DisplayPath(path), OpenFailure(archive.result(), path));
    return 1;
  }
  if (!json) {
    std::printf("%-10s %10s  %-19s  %s\n", "Attributes", "Size", "Date and time", "Name");
  }
  ListingTime time;
  report::Json entries = report::Json::array();
  std::uint64_t total = 0;
  std::uint32_t count = 0;
  HostEntry entry;
  while (archive.Next(&entry)) {
    if (json) {
      entries.push_back(report::Json{{"name", entry.name},
                                     {"size", entry.size},
                                     {"time", time.Text(entry.fileTime)},
                                     {"attributes", AttributeNames(entry.attributes)}});
    } else {
      std::printf("%-10s %10llu  %-19s  %s\n", AttributeText(entry.attributes).c_str(),
                  static_cast<unsigned long long>(entry.size), time.Text(entry.fileTime).c_str(),
                  entry.name.c_str());
    }
    total += entry.size;
    ++count;
    archive.Skip();
  }
  if (json) {
    Print(
        report::Print(report::ListingJson(platform::DisplayPath(path), std::move(entries), total)));
  } else {
    std::printf("%-10s %10llu  %-19s  %s\n", "", static_cast<unsigned long long>(total), "",
                report::Count(count, "entry", "entries").c_str());
  }
  SayDamage(path);
  return 0;
}

// The renditions of every bitmap resource, by the entry's index; none for a
// record database, or for one whose entries cannot all be read (check says
// why).
std::vector<std::pair<std::uint32_t, convert::BitmapListing>> BitmapRenditions(
    const Database& database) {
  std::vector<std::pair<std::uint32_t, convert::BitmapListing>> listings;
  convert::Content content;
  if (!database.header.IsResourceDatabase() ||
      convert::LoadContent(database, &content, convert::IsBitmapEntry) != Status::kOk) {
    return listings;
  }
  for (std::uint32_t i = 0; i < content.items.size(); ++i) {
    const convert::Item& item = content.items[i];
    if (convert::IsBitmapResource(item)) {
      listings.emplace_back(i, convert::ListRenditions(item.bytes.data(), item.bytes.size()));
    }
  }
  return listings;
}

int ListLong(const std::string& path, bool json) {
  const std::unique_ptr<Database> database = OpenOrSay(path);
  if (database == nullptr) {
    return 1;
  }
  const Catalogue& catalogue = database->catalogue;
  const auto bitmaps = BitmapRenditions(*database);
  auto bitmap = bitmaps.begin();
  if (json) {
    std::uint64_t total = 0;
    report::Json entries = report::Json::array();
    for (std::uint32_t i = 0; i < catalogue.count; ++i) {
      total += catalogue.entries[i].size;
      report::Json entry = report::LongEntryJson(*database, i);
      if (bitmap != bitmaps.end() && bitmap->first == i) {
        entry["renditions"] = report::RenditionsJson(bitmap->second);
        if (!bitmap->second.error.empty()) {
          entry["renditionProblem"] = bitmap->second.error;
        }
        ++bitmap;
      }
      entries.push_back(std::move(entry));
    }
    Print(
        report::Print(report::ListingJson(platform::DisplayPath(path), std::move(entries), total)));
    SayDamage(path, database.get());
    return 0;
  }
  Print(report::LongListingHeading(*database));
  for (std::uint32_t i = 0; i < catalogue.count; ++i) {
    Print(report::LongListingLine(*database, i));
    if (bitmap != bitmaps.end() && bitmap->first == i) {
      Print(report::RenditionLines(bitmap->second));
      ++bitmap;
    }
  }
  Print(report::LongListingTotal(*database));
  SayDamage(path, database.get());
  return 0;
}

}  // namespace

int RunList(const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  if (invocation.options.longListing) {
    return ListLong(path, invocation.options.json);
  }
  return WithPlugin(invocation.options.plugin, [&](const PluginSession& session) {
    return ListThroughPlugin(session, path, invocation.options.json);
  });
}

}  // namespace palmdb::cli
