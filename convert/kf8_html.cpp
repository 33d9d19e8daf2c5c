#include "convert/kf8_html.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <utility>

#include "convert/html_edits.h"
#include "convert/kf8_ids.h"
#include "convert/mobi_index.h"

namespace palmdb::convert {
namespace {

constexpr std::string_view kKindle = "kindle:";
constexpr std::string_view kPos = "kindle:pos:fid:";
constexpr std::string_view kOffset = ":off:";
constexpr std::string_view kEmbed = "kindle:embed:";
constexpr std::string_view kFlow = "kindle:flow:";

bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Where a link that starts at `at` ends: at a quote, a bracket or white
// space, and never past `limit`.
std::size_t UrlEnd(std::string_view text, std::size_t at, std::size_t limit) {
  const std::size_t end = text.find_first_of("\"'()<> \t\r\n", at);
  return std::min(end == std::string_view::npos ? text.size() : end, limit);
}

// The base-32 number at `url[*at..]`; moves `*at` past its digits.
bool NumberAt(std::string_view url, std::size_t* at, std::uint32_t* value) {
  std::size_t end = *at;
  while (end < url.size() && IsAlnum(url[end])) {
    ++end;
  }
  const bool ok = ParseBase32(url.substr(*at, end - *at), value);
  *at = end;
  return ok;
}

// An id that can go into an href as it is.
bool IsPlainId(std::string_view id) {
  return !id.empty() && id.find_first_of("\"'<>& \t\r\n#") == std::string_view::npos;
}

class Builder {
 public:
  Builder(const Kf8Text& text, const std::vector<std::string_view>& flows,
          const BookPictures& pictures, std::vector<OutputFile>* files)
      : text_(text), flows_(flows), pictures_(pictures), files_(files) {
    for (const Kf8File& file : text.files) {
      bodies_.push_back(FindBody(file.text));
    }
    edits_.resize(text.files.size());
    bodyEdits_.resize(text.files.size());
  }

  std::string Build(std::vector<std::string>* warnings);

 private:
  std::string Resolve(std::string_view url);
  std::string PlaceAnchor(std::size_t place);
  std::string FlowFile(std::uint32_t number, std::string_view url);
  void CollectLinks(std::string_view text, std::size_t from, std::size_t to,
                    std::vector<Edit>* edits);
  std::string WithLinks(std::string_view text);
  std::vector<std::uint32_t> Stylesheets() const;

  const Kf8Text& text_;
  const std::vector<std::string_view>& flows_;
  const BookPictures& pictures_;
  std::vector<OutputFile>* files_;
  std::vector<Body> bodies_;
  std::vector<std::vector<Edit>> edits_;
  // Edits to the attributes of each file's <body> tag, counted from them.
  std::vector<std::vector<Edit>> bodyEdits_;
  // The files' ids kept apart; anchors' names are added to their names.
  Kf8Ids ids_;
  std::map<std::size_t, std::string> anchors_;
  std::map<std::uint32_t, std::string> flowNames_;
  // The flows named but not yet written, by their place in `files_`: written
  // one after another, never inside the reading of the one that links them,
  // so that a long chain of flows linking flows takes no deeper a stack.
  std::vector<std::pair<std::size_t, std::uint32_t>> unwritten_;
  Tag tag_;
  bool missingPicture_ = false;
  bool missingTarget_ = false;
  bool missingFlow_ = false;
};

std::string Builder::Resolve(std::string_view url) {
  std::uint32_t number = 0;
  std::size_t at = 0;
  if (url.substr(0, kPos.size()) == kPos) {
    // kindle:pos:fid:FFFF:off:OOOOOOOOOO, a place counted from where
    // fragment FFFF was inserted.
    at = kPos.size();
    std::uint32_t offset = 0;
    const bool fragment = NumberAt(url, &at, &number) && number < text_.fragmentPlaces.size();
    const bool hasOffset = url.substr(at, kOffset.size()) == kOffset;
    at += kOffset.size();
    if (fragment && hasOffset && NumberAt(url, &at, &offset)) {
      // Past every file when the sum does not fit (a 32-bit size_t).
      const std::size_t place = text_.fragmentPlaces[number];
      return "#" + PlaceAnchor(offset > SIZE_MAX - place ? SIZE_MAX : place + offset);
    }
    missingTarget_ = true;
    return "#";
  }
  if (url.substr(0, kEmbed.size()) == kEmbed) {
    at = kEmbed.size();
    const std::string* name = NumberAt(url, &at, &number) ? pictures_.Name(number) : nullptr;
    missingPicture_ = missingPicture_ || name == nullptr;
    return name == nullptr ? std::string() : *name;
  }
  if (url.substr(0, kFlow.size()) == kFlow) {
    at = kFlow.size();
    if (NumberAt(url, &at, &number) && number > 0 && number < flows_.size()) {
      return FlowFile(number, url);
    }
    missingFlow_ = true;
    return std::string();
  }
  return std::string(url);
}

std::string Builder::PlaceAnchor(std::size_t place) {
  // The last file that starts at or before the place.
  const auto after =
      std::upper_bound(text_.files.begin() + 1, text_.files.end(), place,
                       [](std::size_t p, const Kf8File& file) { return p < file.start; });
  const std::size_t f = static_cast<std::size_t>(after - text_.files.begin()) - 1;
  const std::string_view text = text_.files[f].text;
  const Body& body = bodies_[f];
  std::size_t at = place < text_.files[f].start ? 0 : place - text_.files[f].start;
  at = std::clamp(at, body.innerAt, body.innerEnd);
  at = std::max(OutsideTag(text, at), body.innerAt);
  const bool startTag = at + 1 < body.innerEnd && text[at] == '<' && IsAlnum(text[at + 1]);
  while (!startTag && at > body.innerAt && at < text.size() &&
         (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
    --at;  // never inside a UTF-8 character
  }
  const std::size_t key = text_.files[f].start + at;
  const auto known = anchors_.find(key);
  if (known != anchors_.end()) {
    return known->second;
  }
  // An anchor's own name, unless the book has an id of that name.
  const std::string stem = "pos" + std::to_string(key);
  std::string id = stem;
  for (std::size_t more = 2; ids_.used.count(id) != 0; ++more) {
    id = stem + "-" + std::to_string(more);
  }
  Attribute existing{};
  if (startTag) {
    ReadTag(text, at, &tag_);
    if (FindAttribute(text, tag_, "id", &existing) &&
        IsPlainId(text.substr(existing.valueAt, existing.valueEnd - existing.valueAt))) {
      id.assign(text.substr(existing.valueAt, existing.valueEnd - existing.valueAt));
      const auto renamed = ids_.renamed[f].find(id);
      if (renamed != ids_.renamed[f].end()) {
        id = renamed->second;
      }
    } else {
      edits_[f].push_back({tag_.nameEnd, tag_.nameEnd, " id=\"" + id + "\""});
      ids_.used.insert(id);
    }
  } else {
    edits_[f].push_back({at, at, "<a id=\"" + id + "\"></a>"});
    ids_.used.insert(id);
  }
  anchors_[key] = id;
  return id;
}

std::string Builder::FlowFile(std::uint32_t number, std::string_view url) {
  const auto known = flowNames_.find(number);
  if (known != flowNames_.end()) {
    return known->second;
  }
  const std::string_view extension = url.find("svg") != std::string_view::npos   ? "svg"
                                     : url.find("css") != std::string_view::npos ? "css"
                                                                                 : "txt";
  char name[32];
  std::snprintf(name, sizeof name, "flow%04u.", static_cast<unsigned>(number));
  const std::string path = name + std::string(extension);
  // Named before its own links are read, so that a flow that links itself
  // is written once.
  flowNames_[number] = path;
  unwritten_.emplace_back(files_->size(), number);
  files_->push_back({path, std::string()});
  return path;
}

// The links in `text[from..to)` as edits.
void Builder::CollectLinks(std::string_view text, std::size_t from, std::size_t to,
                           std::vector<Edit>* edits) {
  for (std::size_t at = text.find(kKindle, from); at != std::string_view::npos && at < to;
       at = text.find(kKindle, at + 1)) {
    const std::size_t end = UrlEnd(text, at, to);
    std::string replacement = Resolve(text.substr(at, end - at));
    if (replacement != text.substr(at, end - at)) {
      edits->push_back({at, end, std::move(replacement)});
    }
  }
}

// A stylesheet or another flow with its links made.
std::string Builder::WithLinks(std::string_view text) {
  std::vector<Edit> edits;
  CollectLinks(text, 0, text.size(), &edits);
  return ApplyEdits(text, std::move(edits));
}

std::vector<std::uint32_t> Builder::Stylesheets() const {
  std::vector<std::uint32_t> found;
  for (std::size_t f = 0; f < text_.files.size(); ++f) {
    const std::string_view text = text_.files[f].text;
    const std::size_t headEnd = bodies_[f].tagAt;
    for (std::size_t at = text.find(kFlow); at != std::string_view::npos && at < headEnd;
         at = text.find(kFlow, at + 1)) {
      std::size_t digits = at + kFlow.size();
      std::uint32_t number = 0;
      const std::string_view url = text.substr(at, UrlEnd(text, at, headEnd) - at);
      if (NumberAt(text, &digits, &number) && number > 0 && number < flows_.size() &&
          url.find("css") != std::string_view::npos &&
          std::find(found.begin(), found.end(), number) == found.end()) {
        found.push_back(number);
      }
    }
  }
  return found;
}

std::string Builder::Build(std::vector<std::string>* warnings) {
  ids_ = RenameRepeatedIds(text_.files, bodies_, &edits_, &bodyEdits_);
  // Every file's links first: a link may place an anchor in any file.
  for (std::size_t f = 0; f < text_.files.size(); ++f) {
    CollectLinks(text_.files[f].text, bodies_[f].innerAt, bodies_[f].innerEnd, &edits_[f]);
  }
  std::string styles;
  for (const std::uint32_t number : Stylesheets()) {
    styles += "<style>" + WithLinks(flows_[number]) + "</style>";
  }
  // Before the files' edits are made: a flow's links may place anchors.
  for (std::size_t n = 0; n < unwritten_.size(); ++n) {
    const auto [file, number] = unwritten_[n];
    std::string bytes = WithLinks(flows_[number]);
    (*files_)[file].bytes = std::move(bytes);
  }
  std::string html = "<!DOCTYPE html><html><head>";
  html.append(styles).append("</head><body>");
  for (std::size_t f = 0; f < text_.files.size(); ++f) {
    const Body& body = bodies_[f];
    const std::string_view inner =
        std::string_view(text_.files[f].text).substr(body.innerAt, body.innerEnd - body.innerAt);
    for (Edit& edit : edits_[f]) {
      edit.at -= body.innerAt;
      edit.end -= body.innerAt;
    }
    const std::string_view attributes =
        std::string_view(text_.files[f].text)
            .substr(body.attributesAt, body.attributesEnd - body.attributesAt);
    html.append("<div").append(ApplyEdits(attributes, std::move(bodyEdits_[f]))).append(">");
    html.append(ApplyEdits(inner, std::move(edits_[f])));
    html.append("</div>");
  }
  html.append("</body></html>");
  if (missingTarget_) {
    warnings->push_back(
        "a kindle:pos link names a fragment the book does not have: it leads "
        "to the top of the page");
  }
  if (missingPicture_) {
    warnings->push_back(
        "a kindle:embed link names a resource that is not a picture: it is left "
        "empty");
  }
  if (missingFlow_) {
    warnings->push_back(
        "a kindle:flow link names a flow the book does not have: it is left "
        "empty");
  }
  return html;
}

}  // namespace

std::string Kf8Document(const Kf8Text& text, const std::vector<std::string_view>& flows,
                        const BookPictures& pictures, std::vector<OutputFile>* files,
                        std::vector<std::string>* warnings) {
  if (text.files.empty()) {
    return "<!DOCTYPE html><html><head></head><body></body></html>";
  }
  Builder builder(text, flows, pictures, files);
  return builder.Build(warnings);
}

}  // namespace palmdb::convert
