#include "cli/InputText.h"

#include "cli/CliReport.h"
#include "platform/system/WholeFile.h"

namespace cli {

bool IsUtf8(const std::string& bytes, size_t* badAt) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    size_t len = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4, cp = c & 0x07;
    } else {
      return *badAt = i, false;
    }
    if (i + len > n) return *badAt = i, false;
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return *badAt = i, false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return *badAt = i, false;
    i += len;
  }
  return true;
}

bool TakeInputText(std::string* text, std::string* reason) {
  if (text->size() > kMaxInputBytes)
    return *reason = "larger than " + std::to_string(kMaxInputBytes) + " bytes", false;
  size_t bad = 0;
  if (!IsUtf8(*text, &bad))
    return *reason = "not UTF-8 text (byte " + std::to_string(bad + 1) + ")", false;
  if (text->rfind("\xEF\xBB\xBF", 0) == 0) text->erase(0, 3);
  return true;
}

bool ReadInputText(const std::string& path, const std::string& what, std::string* text,
                   std::string* error) {
  std::string contents, reason;
  if (!platform::ReadBoundedFile(path, kMaxInputBytes, &contents, &reason) ||
      !TakeInputText(&contents, &reason)) {
    *error = "cannot read " + what + " '" + Quoted(path) + "': " + reason;
    return false;
  }
  *text = std::move(contents);
  return true;
}

std::string Quoted(const std::string& text, size_t limit) {
  std::string cut = text;
  if (cut.size() > limit) {
    cut.resize(limit);
    // Not in the middle of a character.
    while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80) cut.pop_back();
    if (!cut.empty() && static_cast<unsigned char>(cut.back()) >= 0xC0) cut.pop_back();
    cut += "...";
  }
  return Printable(cut);
}

}  // namespace cli
