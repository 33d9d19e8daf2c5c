#include "testdata/mobi_builder.h"

#include <cstdio>
#include <cstring>

#include "convert/kf8.h"
#include "convert/mobi_index.h"
#include "convert/palmdoc.h"
#include "database/big_endian.h"

namespace palmdb::testdata {
namespace {

namespace bh = convert::book_header;
namespace ir = convert::index_record;

constexpr std::uint32_t kNone = bh::kMobiNoRecord;
constexpr std::uint32_t kMobi6HeaderLength = 0xE8;
constexpr std::uint32_t kKf8HeaderLength = 0x108;
// An INDX record's header, as books have it; the TAGX table or entries follow.
constexpr std::size_t kIndexHeaderSize = 0xC0;

void Put32(Bytes* out, std::size_t at, std::uint32_t value) {
  if (out->size() < at + 4) {
    out->resize(at + 4, 0);
  }
  WriteBigEndian32(out->data() + at, value);
}

void Append32(Bytes* out, std::uint32_t value) {
  Put32(out, out->size(), value);
}

void AppendText(Bytes* out, const std::string& text) {
  out->insert(out->end(), text.begin(), text.end());
}

// A number written forwards in 7-bit groups, the last byte marked.
void AppendForward(Bytes* out, std::uint32_t value) {
  std::uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  for (int n = count - 1; n >= 0; --n) {
    out->push_back(static_cast<std::uint8_t>(groups[n] | (n == 0 ? 0x80 : 0)));
  }
}

// Longest match of 3 to 10 bytes for text[at..] within the 2047 bytes
// before it, through a chain of earlier places with the same three bytes.
struct Matcher {
  explicit Matcher(const std::string& text) : text_(text), previous_(text.size(), -1) {
    std::fill(std::begin(heads_), std::end(heads_), -1);
  }
  void Add(std::size_t at) {
    if (at + 3 > text_.size()) {
      return;
    }
    const unsigned hash = Hash(at);
    previous_[at] = heads_[hash];
    heads_[hash] = static_cast<long>(at);
  }
  std::size_t Find(std::size_t at, std::size_t* distance) const {
    std::size_t best = 0;
    if (at + 3 > text_.size()) {
      return 0;
    }
    int steps = 0;
    for (long p = heads_[Hash(at)]; p >= 0 && steps < 32;
         p = previous_[static_cast<std::size_t>(p)]) {
      const std::size_t from = static_cast<std::size_t>(p);
      if (at - from > 2047) {
        break;
      }
      ++steps;
      std::size_t length = 0;
      while (length < 10 && at + length < text_.size() &&
             text_[from + length] == text_[at + length]) {
        ++length;
      }
      if (length > best) {
        best = length;
        *distance = at - from;
      }
    }
    return best >= 3 ? best : 0;
  }

 private:
  unsigned Hash(std::size_t at) const {
    const auto byte = [&](std::size_t n) {
      return static_cast<unsigned>(static_cast<unsigned char>(text_[at + n]));
    };
    return ((byte(0) << 10) ^ (byte(1) << 5) ^ byte(2)) & 0xFFFu;
  }
  const std::string& text_;
  std::vector<long> previous_;
  long heads_[4096];
};

// `text` in records of kBookRecordSize, compressed or not.
std::vector<Bytes> TextRecords(const std::string& text, bool compressed) {
  std::vector<Bytes> records;
  for (std::size_t at = 0; at < text.size(); at += kBookRecordSize) {
    const std::string part = text.substr(at, kBookRecordSize);
    records.push_back(compressed ? CompressPalmDoc(part) : Bytes(part.begin(), part.end()));
  }
  return records;
}

Bytes PalmDocHeader(bool compressed, std::size_t textLength, std::size_t records) {
  Bytes header(bh::kPalmDocSize, 0);
  WriteBigEndian16(header.data() + bh::kCompression,
                   compressed ? bh::kPalmDocCompression : bh::kNoCompression);
  WriteBigEndian32(header.data() + bh::kTextLength, static_cast<std::uint32_t>(textLength));
  WriteBigEndian16(header.data() + bh::kRecordCount, static_cast<std::uint16_t>(records));
  WriteBigEndian16(header.data() + bh::kRecordSize, static_cast<std::uint16_t>(kBookRecordSize));
  return header;
}

// One index entry: its label and its tags' values in the TAGX table's order.
struct Entry {
  std::string label;
  std::uint8_t control;
  std::vector<std::uint32_t> values;
};

// The meta record (TAGX `tags`: tag, values per entry, mask and end flag for
// each; one control byte) and the data record of an index of `entries`.
void AppendIndex(const std::vector<Entry>& entries, const std::vector<std::uint8_t>& tags,
                 std::vector<Bytes>* records) {
  const auto header = [&](std::uint32_t count) {
    Bytes record(kIndexHeaderSize, 0);
    std::memcpy(record.data(), "INDX", 4);
    Put32(&record, ir::kHeaderLength, kIndexHeaderSize);
    Put32(&record, ir::kEntryCount, count);
    return record;
  };
  const auto idxt = [](Bytes* record, const std::vector<std::size_t>& offsets) {
    record->resize((record->size() + 3) & ~std::size_t{3}, 0);
    Put32(record, ir::kIdxtOffset, static_cast<std::uint32_t>(record->size()));
    AppendText(record, "IDXT");
    for (const std::size_t offset : offsets) {
      record->push_back(static_cast<std::uint8_t>(offset >> 8));
      record->push_back(static_cast<std::uint8_t>(offset));
    }
    record->resize((record->size() + 3) & ~std::size_t{3}, 0);
  };
  Bytes meta = header(1);
  AppendText(&meta, "TAGX");
  Append32(&meta, static_cast<std::uint32_t>(ir::kTagxHeadSize + tags.size()));
  Append32(&meta, 1);
  meta.insert(meta.end(), tags.begin(), tags.end());
  idxt(&meta, {});
  Bytes data = header(static_cast<std::uint32_t>(entries.size()));
  std::vector<std::size_t> offsets;
  for (const Entry& entry : entries) {
    offsets.push_back(data.size());
    data.push_back(static_cast<std::uint8_t>(entry.label.size()));
    AppendText(&data, entry.label);
    data.push_back(entry.control);
    for (const std::uint32_t value : entry.values) {
      AppendForward(&data, value);
    }
  }
  idxt(&data, offsets);
  records->push_back(std::move(meta));
  records->push_back(std::move(data));
}

// Record 0 of a part: the PalmDOC header, the MOBI header with the record
// numbers in `fields` (offset, value), the EXTH block and the full name.
Bytes HeaderRecord(const MobiBook& book, std::uint32_t version, std::size_t textLength,
                   std::size_t textRecords,
                   const std::vector<std::pair<std::size_t, std::uint32_t>>& fields,
                   std::uint32_t kf8Header) {
  const std::uint32_t length = version >= bh::kKf8Version ? kKf8HeaderLength : kMobi6HeaderLength;
  Bytes record = PalmDocHeader(book.compressed, textLength, textRecords);
  AppendText(&record, "MOBI");
  record.resize(bh::kMobiIdentifier + length, 0);
  for (std::size_t at = 0x28; at < bh::kMobiIdentifier + length; at += 4) {
    Put32(&record, at, kNone);
  }
  Put32(&record, bh::kMobiHeaderLength, length);
  Put32(&record, 0x18, 2);  // a book
  Put32(&record, bh::kMobiTextEncoding, book.codePage);
  Put32(&record, bh::kMobiVersion, version);
  Put32(&record, bh::kMobiExthFlags, bh::kExthPresent);
  Put32(&record, bh::kMobiExtraDataFlags - 2, 0);
  for (const auto& [offset, value] : fields) {
    Put32(&record, offset, value);
  }
  Bytes exth;
  std::uint32_t count = 0;
  const auto entry = [&](std::uint32_t type, const Bytes& data) {
    Append32(&exth, type);
    Append32(&exth, static_cast<std::uint32_t>(data.size() + bh::exth::kEntryHeaderSize));
    exth.insert(exth.end(), data.begin(), data.end());
    ++count;
  };
  if (!book.author.empty()) {
    entry(bh::exth::kAuthor, Bytes(book.author.begin(), book.author.end()));
  }
  if (!book.title.empty()) {
    entry(bh::exth::kTitle, Bytes(book.title.begin(), book.title.end()));
  }
  if (kf8Header != kNone) {
    Bytes value(4, 0);
    WriteBigEndian32(value.data(), kf8Header);
    entry(bh::exth::kKf8Header, value);
  }
  AppendText(&record, "EXTH");
  Append32(&record, static_cast<std::uint32_t>(exth.size() + bh::exth::kHeaderSize));
  Append32(&record, count);
  record.insert(record.end(), exth.begin(), exth.end());
  Put32(&record, bh::kMobiFullNameOffset, static_cast<std::uint32_t>(record.size()));
  Put32(&record, bh::kMobiFullNameLength, static_cast<std::uint32_t>(book.fullName.size()));
  AppendText(&record, book.fullName);
  record.resize(record.size() + 2 + (4 - record.size() % 4) % 4, 0);
  return record;
}

// Flow 0 of the KF8 files and their two indexes' entries.
struct Kf8Parts {
  std::string flow0;
  std::vector<Entry> skeletons;
  std::vector<Entry> fragments;
};

Kf8Parts LayOut(const std::vector<Kf8File>& files) {
  Kf8Parts parts;
  std::size_t fileStart = 0;  // in the reassembled text
  std::uint32_t sequence = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const Kf8File& file = files[f];
    char label[32];
    std::snprintf(label, sizeof label, "SKEL%010u", static_cast<unsigned>(f));
    const auto start = static_cast<std::uint32_t>(parts.flow0.size());
    const auto length = static_cast<std::uint32_t>(file.skeleton.size());
    const auto count = static_cast<std::uint32_t>(file.fragments.size());
    // Each value twice, as books have them: two of each tag.
    parts.skeletons.push_back({label, 0x0A, {count, count, start, length, start, length}});
    parts.flow0 += file.skeleton;
    std::string whole = file.skeleton;
    std::uint32_t after = 0;  // bytes of fragments after the skeleton
    for (const Kf8Fragment& fragment : file.fragments) {
      std::snprintf(label, sizeof label, "%010u", static_cast<unsigned>(fileStart + fragment.at));
      const auto size = static_cast<std::uint32_t>(fragment.text.size());
      parts.fragments.push_back(
          {label, 0x0F, {0, static_cast<std::uint32_t>(f), sequence++, after, size}});
      parts.flow0 += fragment.text;
      whole.insert(fragment.at, fragment.text);
      after += size;
    }
    fileStart += whole.size();
  }
  return parts;
}

// The KF8 part: its header record (numbers counted from it), text records,
// the book's resources when `withResources`, indexes and flow table,
// appended to `records`.
void AppendKf8(const MobiBook& book, bool withResources, std::vector<Bytes>* records) {
  const Kf8Parts parts = LayOut(book.files);
  std::string text = parts.flow0;
  Bytes fdst;
  AppendText(&fdst, "FDST");
  Append32(&fdst, convert::fdst::kMinimumSize);
  Append32(&fdst, static_cast<std::uint32_t>(1 + book.flows.size()));
  Append32(&fdst, 0);
  Append32(&fdst, static_cast<std::uint32_t>(text.size()));
  for (const std::string& flow : book.flows) {
    Append32(&fdst, static_cast<std::uint32_t>(text.size()));
    text += flow;
    Append32(&fdst, static_cast<std::uint32_t>(text.size()));
  }
  const std::vector<Bytes> textRecords = TextRecords(text, book.compressed);
  const auto after = static_cast<std::uint32_t>(1 + textRecords.size());
  const bool pictures = withResources && !book.resources.empty();
  const auto indexes =
      static_cast<std::uint32_t>(after + (withResources ? book.resources.size() : 0));
  const std::vector<std::pair<std::size_t, std::uint32_t>> fields = {
      {bh::kMobiFirstNonBook, after},
      {bh::kMobiFirstImage, pictures ? after : kNone},
      {bh::kMobiFragmentIndex, indexes},
      {bh::kMobiSkeletonIndex, indexes + 2},
      {bh::kMobiFdst, indexes + 4}};
  records->push_back(
      HeaderRecord(book, bh::kKf8Version, text.size(), textRecords.size(), fields, kNone));
  records->insert(records->end(), textRecords.begin(), textRecords.end());
  if (withResources) {
    records->insert(records->end(), book.resources.begin(), book.resources.end());
  }
  AppendIndex(parts.fragments, {2, 1, 1, 0, 3, 1, 2, 0, 4, 1, 4, 0, 6, 2, 8, 0, 0, 0, 0, 1},
              records);
  AppendIndex(parts.skeletons, {1, 1, 3, 0, 6, 2, 12, 0, 0, 0, 0, 1}, records);
  records->push_back(std::move(fdst));
}

}  // namespace

Bytes CompressPalmDoc(const std::string& text) {
  Bytes out;
  Matcher matcher(text);
  std::size_t runAt = 0;  // where the pending literal run's count byte is
  std::size_t run = 0;
  const auto literal = [&](std::uint8_t c) {
    if (run == 0 || run == 8) {
      runAt = out.size();
      out.push_back(0);
      run = 0;
    }
    out.push_back(c);
    out[runAt] = static_cast<std::uint8_t>(++run);
  };
  std::size_t at = 0;
  while (at < text.size()) {
    const auto c = static_cast<std::uint8_t>(text[at]);
    std::size_t distance = 0;
    const std::size_t length = matcher.Find(at, &distance);
    std::size_t step = 1;
    if (length != 0) {
      const auto pair = static_cast<unsigned>(0x8000u | (distance << 3) | (length - 3));
      out.push_back(static_cast<std::uint8_t>(pair >> 8));
      out.push_back(static_cast<std::uint8_t>(pair));
      step = length;
      run = 0;
    } else if (c == ' ' && at + 1 < text.size() &&
               static_cast<std::uint8_t>(text[at + 1]) >= 0x40 &&
               static_cast<std::uint8_t>(text[at + 1]) < 0x80) {
      out.push_back(static_cast<std::uint8_t>(text[at + 1] ^ 0x80));
      step = 2;
      run = 0;
    } else if (c == 0 || (c >= 0x09 && c < 0x80)) {
      out.push_back(c);
      run = 0;
    } else {
      literal(c);
    }
    for (std::size_t n = 0; n < step; ++n) {
      matcher.Add(at + n);
    }
    at += step;
  }
  return out;
}

Bytes PalmDocBook(const std::string& name, const std::string& text, bool compressed) {
  DatabaseBuilder builder;
  builder.Name(name).TypeAndCreator("TEXt", "REAd");
  const std::vector<Bytes> records = TextRecords(text, compressed);
  builder.AddRecord(PalmDocHeader(compressed, text.size(), records.size()));
  for (const Bytes& record : records) {
    builder.AddRecord(record);
  }
  return builder.Build();
}

std::vector<Bytes> MobiBookRecords(const MobiBook& book) {
  std::vector<Bytes> records;
  const bool kf8 = !book.files.empty();
  const bool mobi6 = !kf8 || !book.text.empty();
  std::size_t kf8Header = 0;
  if (mobi6) {
    const std::vector<Bytes> text = TextRecords(book.text, book.compressed);
    const auto firstImage = static_cast<std::uint32_t>(1 + text.size());
    // The KF8 header follows the text, the resources and the boundary.
    kf8Header = kf8 ? 1 + text.size() + book.resources.size() + 1 : 0;
    const std::vector<std::pair<std::size_t, std::uint32_t>> fields = {
        {bh::kMobiFirstNonBook, firstImage},
        {bh::kMobiFirstImage, book.resources.empty() ? kNone : firstImage}};
    records.push_back(HeaderRecord(book, 6, book.text.size(), text.size(), fields,
                                   kf8 ? static_cast<std::uint32_t>(kf8Header) : kNone));
    records.insert(records.end(), text.begin(), text.end());
    records.insert(records.end(), book.resources.begin(), book.resources.end());
    if (kf8) {
      records.push_back(Bytes{'B', 'O', 'U', 'N', 'D', 'A', 'R', 'Y'});
      AppendKf8(book, false, &records);
    }
  } else {
    AppendKf8(book, true, &records);
  }
  records.push_back(Bytes{0xE9, 0x8E, '\r', '\n'});
  return records;
}

Bytes BuildMobiBook(const MobiBook& book) {
  const std::vector<Bytes> records = MobiBookRecords(book);
  DatabaseBuilder builder;
  builder.Name(book.name).TypeAndCreator("BOOK", "MOBI");
  for (const Bytes& record : records) {
    builder.AddRecord(record);
  }
  return builder.Build();
}

}  // namespace palmdb::testdata
