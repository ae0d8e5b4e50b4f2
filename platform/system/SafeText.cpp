#include "platform/system/SafeText.h"

#include <algorithm>

#include "platform/system/CodePage.h"

namespace platform {

namespace {

const char kHex[] = "0123456789ABCDEF";

bool ShowsInOneCell(char32_t c) {
  if (c >= 0x20 && c < 0x7F) return true;
  // Latin-1 (soft hyphen aside, which some terminals do not draw), the Latin extensions,
  // Greek and Cyrillic: single-width everywhere and free of combining marks.
  if (c >= 0xA0 && c < 0x300) return c != 0xAD;
  if (c >= 0x370 && c < 0x483) return true;
  if (c >= 0x48A && c < 0x530) return true;
  return c == 0xFFFD;
}

void AppendHex(std::u32string& out, char32_t c, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
}

void AppendSafe(std::u32string& out, char32_t c) {
  if (ShowsInOneCell(c)) {
    out += c;
  } else if (c < 0x20) {
    out += U'^';
    out += static_cast<char32_t>(c + 0x40);
  } else if (c == 0x7F) {
    out += U"^?";
  } else if (c < 0xA0) {
    out += U"\\x";
    AppendHex(out, c, 2);
  } else {
    out += U"\\u{";
    AppendHex(out, c, c > 0xFFFF ? 6 : 4);
    out += U'}';
  }
}

// UTF-16 to code points; a lone surrogate becomes U+FFFD.
std::u32string Decode(const std::u16string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    out += c;
  }
  return out;
}

std::u32string Safe(const std::u32string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (char32_t c : text) AppendSafe(out, c);
  return out;
}

void WrapLine(const std::u32string& line, size_t width, std::vector<std::u32string>& out) {
  size_t at = 0;
  const size_t n = line.size();
  while (at < n) {
    if (n - at <= width) {
      out.push_back(line.substr(at));
      return;
    }
    // The last blank that lets the line end within the width; none: cut the word.
    size_t cut = line.rfind(U' ', at + width);
    if (cut == std::u32string::npos || cut <= at) {
      out.push_back(line.substr(at, width));
      at += width;
      continue;
    }
    out.push_back(line.substr(at, cut - at));
    at = cut + 1;
    while (at < n && line[at] == U' ') ++at;
  }
}

}  // namespace

std::u32string SafeText(const std::u16string& text) {
  return Safe(Decode(text));
}

std::string SafeUtf8(const std::u16string& text) {
  std::string out;
  for (char32_t c : SafeText(text)) AppendUtf8(out, c);
  return out;
}

MnemonicText ParseMnemonic(const std::u16string& text) {
  const std::u32string raw = Decode(text);
  MnemonicText result;
  for (size_t i = 0; i < raw.size(); ++i) {
    char32_t c = raw[i];
    if (c == U'&' && i + 1 < raw.size()) {
      c = raw[++i];
      if (c != U'&' && c != U' ' && result.mnemonicAt < 0 && ShowsInOneCell(c)) {
        result.mnemonicAt = static_cast<int>(result.shown.size());
        result.mnemonic = c;
      }
    }
    AppendSafe(result.shown, c);
  }
  return result;
}

char32_t FoldCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  return c;
}

std::vector<std::u32string> WrapText(const std::u16string& text, int width) {
  std::vector<std::u32string> lines;
  const size_t w = static_cast<size_t>(std::max(1, width));
  const std::u32string raw = Decode(text);
  size_t start = 0;
  while (start <= raw.size()) {
    size_t end = raw.find(U'\n', start);
    if (end == std::u32string::npos) end = raw.size();
    std::u32string line = raw.substr(start, end - start);
    if (!line.empty() && line.back() == U'\r') line.pop_back();
    const std::u32string safe = Safe(line);
    if (safe.empty())
      lines.emplace_back();
    else
      WrapLine(safe, w, lines);
    start = end + 1;
  }
  return lines;
}

}  // namespace platform
