#include "platform/system/EscapedBytes.h"

namespace platform {

namespace {

bool NeedsEscape(unsigned c) {
  if (c == '\r' || c == '\n') return false;
  return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

template <typename Char>
std::basic_string<Char> Escape(std::basic_string_view<Char> in) {
  static const char kHex[] = "0123456789ABCDEF";
  std::basic_string<Char> out;
  out.reserve(in.size());
  for (Char ch : in) {
    const unsigned c = static_cast<std::make_unsigned_t<Char>>(ch);
    if (c == '\\') {
      out += Char('\\');
      out += Char('\\');
    } else if (NeedsEscape(c)) {
      out += Char('\\');
      out += Char('x');
      out += Char(kHex[(c >> 4) & 0xF]);
      out += Char(kHex[c & 0xF]);
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace

std::string EscapeControlBytes(std::string_view bytes) {
  return Escape(bytes);
}

std::u16string EscapeControlBytes(std::u16string_view text) {
  return Escape(text);
}

}  // namespace platform
