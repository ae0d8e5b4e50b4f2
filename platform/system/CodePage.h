#pragma once
// Text conversions at the edges of the system. The device's single-byte code page is
// ISO-8859-1: every byte maps to one character and back, and a character it cannot hold
// becomes "?". UTF-8 is what the Linux side (paths, argv, Qt's file names) speaks.

#include <string>

namespace platform {

// One byte per character; characters above U+00FF become '?'.
std::string WideToSingleByte(const std::u16string& text);
// One character per byte.
std::u16string SingleByteToWide(const std::string& bytes);

std::string WideToUtf8(const std::u16string& text);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
std::u16string Utf8ToWide(const std::string& text);  // malformed bytes become U+FFFD

}  // namespace platform
