#include "plugin/wide_host.h"

#include "platform/text.h"

namespace palmdb {

std::size_t NameToWide(const char* name, std::size_t length, wchar_t* out, std::size_t outSize) {
  if (outSize == 0) {
    return 0;
  }
  std::size_t written = 0;
  for (std::size_t i = 0; i < length; ++i) {
    char16_t units[platform::kMaxDecodedByteSize];
    const std::size_t count = platform::Windows1252ByteToUtf16(
        static_cast<unsigned char>(name[i]), platform::ByteEscape::kPercent, units);
    // An escape goes in whole or not at all.
    if (written + count >= outSize) {
      break;
    }
    for (std::size_t k = 0; k < count; ++k) {
      out[written++] = static_cast<wchar_t>(units[k]);
    }
  }
  out[written] = L'\0';
  return written;
}

std::u16string WideToUtf16(const wchar_t* text) {
  std::u16string units;
  for (const wchar_t* p = text; *p != L'\0'; ++p) {
    // Code points above U+FFFF only where wchar_t holds whole code points;
    // none past Unicode.
    const auto code = static_cast<std::uint32_t>(*p);
    platform::AppendUtf16(code <= 0x10FFFF ? code : 0xFFFD, &units);
  }
  return units;
}

bool CopyToWideField(const std::u16string& text, wchar_t* field, std::size_t size) {
  if (text.size() >= size) {
    field[0] = L'\0';
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    field[i] = static_cast<wchar_t>(text[i]);
  }
  field[text.size()] = L'\0';
  return true;
}

}  // namespace palmdb
