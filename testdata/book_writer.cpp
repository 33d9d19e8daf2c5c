#include "testdata/book_writer.h"

#include <zlib.h>

namespace palmdb::testdata::book {
namespace {

void Put16(Bytes* out, std::size_t value) {
  out->push_back(static_cast<std::uint8_t>(value >> 8));
  out->push_back(static_cast<std::uint8_t>(value));
}

void Put32(Bytes* out, std::uint32_t value) {
  Put16(out, value >> 16);
  Put16(out, value & 0xFFFFu);
}

void Append(Bytes* out, const Bytes& more) {
  out->insert(out->end(), more.begin(), more.end());
}

Bytes Compress(const std::string& text, std::uint16_t compression) {
  if (compression == 0) {
    return FromText(text);
  }
  return compression == 2 ? Zlib(text) : PalmDocLiterals(text);
}

}  // namespace

Bytes FromText(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Zlib(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  Bytes out(size);
  compress(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()),
           static_cast<uLong>(text.size()));
  out.resize(size);
  return out;
}

Bytes PalmDocLiterals(const std::string& text) {
  Bytes out;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto c = static_cast<std::uint8_t>(text[at]);
    if (c == 0 || (c >= 0x09 && c < 0x80)) {
      out.push_back(c);
      ++at;
      continue;
    }
    // Bytes that are tokens go in a literal run of up to eight.
    const std::size_t run = text.size() - at < 8 ? text.size() - at : 8;
    out.push_back(static_cast<std::uint8_t>(run));
    out.insert(out.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
               text.begin() + static_cast<std::ptrdiff_t>(at + run));
    at += run;
  }
  return out;
}

std::vector<Bytes> Ztxt(const std::string& text, std::size_t recordSize, bool randomAccess,
                        const std::vector<Mark>& bookmarks, const std::vector<Mark>& annotations) {
  std::vector<Bytes> records(1);
  z_stream z{};
  deflateInit(&z, Z_BEST_COMPRESSION);
  Bytes stream;
  for (std::size_t at = 0; at < text.size() || at == 0; at += recordSize) {
    const std::size_t size = text.size() - at < recordSize ? text.size() - at : recordSize;
    const bool last = at + size >= text.size();
    Bytes out(compressBound(static_cast<uLong>(size)) + 64);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + at));
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, last ? Z_FINISH : (randomAccess ? Z_FULL_FLUSH : Z_NO_FLUSH));
    out.resize(out.size() - z.avail_out);
    if (randomAccess) {
      records.push_back(out);
    } else {
      Append(&stream, out);
    }
    if (last) {
      break;
    }
  }
  deflateEnd(&z);
  for (std::size_t at = 0; !randomAccess && at < stream.size(); at += recordSize) {
    const std::size_t size = stream.size() - at < recordSize ? stream.size() - at : recordSize;
    records.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                         stream.begin() + static_cast<std::ptrdiff_t>(at + size));
  }
  const std::size_t textRecords = records.size() - 1;
  const auto marks = [&](const std::vector<Mark>& list) {
    Bytes index;
    for (const Mark& mark : list) {
      Put32(&index, mark.offset);
      Bytes title = FromText(mark.title);
      title.resize(20, 0);
      Append(&index, title);
    }
    return index;
  };
  const std::size_t bookmarkRecord = bookmarks.empty() ? 0 : records.size();
  if (!bookmarks.empty()) {
    records.push_back(marks(bookmarks));
  }
  const std::size_t annotationRecord = annotations.empty() ? 0 : records.size();
  if (!annotations.empty()) {
    records.push_back(marks(annotations));
    for (const Mark& mark : annotations) {
      records.push_back(FromText(mark.note + std::string(1, '\0')));
    }
  }
  Bytes& header = records[0];
  Put16(&header, 0x012C);
  Put16(&header, textRecords);
  Put32(&header, static_cast<std::uint32_t>(text.size()));
  Put16(&header, recordSize);
  Put16(&header, bookmarks.size());
  Put16(&header, bookmarkRecord);
  Put16(&header, annotations.size());
  Put16(&header, annotationRecord);
  header.push_back(randomAccess ? 1 : 0);
  header.resize(32, 0);
  return records;
}

std::vector<Bytes> EReader(std::uint16_t compression, const std::vector<std::string>& texts,
                           const std::vector<std::pair<std::string, std::string>>& footnotes,
                           const std::vector<std::pair<std::string, std::string>>& sidebars,
                           const std::vector<std::pair<std::string, Bytes>>& pictures) {
  const std::uint16_t coding = compression == 10 ? 2 : 1;
  std::vector<Bytes> records(1);
  for (const std::string& text : texts) {
    records.push_back(Compress(text, coding));
  }
  const std::size_t nonText = records.size();
  const auto notes = [&](const std::vector<std::pair<std::string, std::string>>& list) {
    const std::size_t start = records.size();
    Bytes ids;
    for (const auto& [id, note] : list) {
      Append(&ids, FromText(id + std::string(1, '\0')));
    }
    records.push_back(ids);
    for (const auto& [id, note] : list) {
      records.push_back(Compress(note, coding));
    }
    return list.empty() ? 0 : start;
  };
  const std::size_t footnoteStart = footnotes.empty() ? 0 : notes(footnotes);
  const std::size_t sidebarStart = sidebars.empty() ? 0 : notes(sidebars);
  const std::size_t imageStart = records.size();
  for (const auto& [name, png] : pictures) {
    Bytes record = FromText("PNG " + name);
    record.resize(62, 0);  // the name's 32 bytes, then fields left at 0
    Append(&record, png);
    records.push_back(record);
  }
  Bytes& header = records[0];
  header.resize(132, 0);
  Bytes fields;
  Put16(&fields, compression);
  fields.resize(6, 0);
  Put16(&fields, 25152);  // the encoding field every book carries
  fields.resize(12, 0);
  Put16(&fields, nonText);
  fields.resize(20, 0);
  Put16(&fields, pictures.size());
  fields.resize(28, 0);
  Put16(&fields, footnotes.empty() ? 0 : footnotes.size() + 1);
  Put16(&fields, sidebars.empty() ? 0 : sidebars.size() + 1);
  fields.resize(34, 0);
  Put16(&fields, 2560);
  fields.resize(40, 0);
  Put16(&fields, pictures.empty() ? 0 : imageStart);
  fields.resize(48, 0);
  Put16(&fields, footnoteStart);
  Put16(&fields, sidebarStart);
  Put16(&fields, records.size() - 1);
  std::copy(fields.begin(), fields.end(), header.begin());
  return records;
}

std::vector<Bytes> OldEReader(std::uint16_t version, const std::vector<std::string>& texts) {
  std::vector<Bytes> records(1);
  for (const std::string& text : texts) {
    Bytes masked = PalmDocLiterals(text);
    for (std::uint8_t& byte : masked) {
      byte = static_cast<std::uint8_t>(byte ^ 0xA5);
    }
    records.push_back(masked);
  }
  Bytes& header = records[0];
  Put16(&header, version);
  header.resize(8, 0x5A);  // what the format leaves as noise
  Put16(&header, records.size());
  header.resize(202, 0);
  return records;
}

Bytes PluckerIndex(std::uint16_t compression, std::uint16_t home) {
  Bytes index;
  Put16(&index, 1);
  Put16(&index, compression);
  Put16(&index, 1);
  Put16(&index, 0);  // the home page
  Put16(&index, home);
  return index;
}

Bytes PluckerText(std::uint16_t uid, const std::vector<std::string>& paragraphs,
                  std::uint16_t compression, std::uint8_t flags) {
  std::string text;
  for (const std::string& paragraph : paragraphs) {
    text += paragraph;
  }
  Bytes record;
  Put16(&record, uid);
  Put16(&record, paragraphs.size());
  Put16(&record, text.size());
  record.push_back(compression == 0 ? 0 : 1);
  record.push_back(flags);
  for (const std::string& paragraph : paragraphs) {
    Put16(&record, paragraph.size());
    Put16(&record, 0);
  }
  Append(&record, Compress(text, compression));
  return record;
}

Bytes PluckerImage(std::uint16_t uid, const Bytes& bitmap, std::uint16_t compression) {
  Bytes record;
  Put16(&record, uid);
  Put16(&record, 0);
  Put16(&record, bitmap.size());
  record.push_back(compression == 0 ? 2 : 3);
  record.push_back(0);
  Append(&record, Compress(std::string(bitmap.begin(), bitmap.end()), compression));
  return record;
}

Bytes PluckerMultiImage(std::uint16_t uid, std::uint16_t columns, std::uint16_t rows,
                        const std::vector<std::uint16_t>& tiles) {
  Bytes record;
  Put16(&record, uid);
  Put16(&record, 0);
  Put16(&record, 4 + 2 * tiles.size());
  record.push_back(15);
  record.push_back(0);
  Put16(&record, columns);
  Put16(&record, rows);
  for (const std::uint16_t tile : tiles) {
    Put16(&record, tile);
  }
  return record;
}

Bytes PluckerMetadata(std::uint16_t uid, std::uint16_t mib, bool keyed) {
  Bytes record;
  Put16(&record, uid);
  Put16(&record, 0);
  Put16(&record, 0);
  record.push_back(10);
  record.push_back(0);
  Put16(&record, keyed ? 2 : 1);
  Put16(&record, 1);  // the character set, one word long
  Put16(&record, 1);
  Put16(&record, mib);
  if (keyed) {
    Put16(&record, 3);  // the owner ID's CRC, two words long
    Put16(&record, 2);
    Put32(&record, 0x12345678);
  }
  return record;
}

}  // namespace palmdb::testdata::book
