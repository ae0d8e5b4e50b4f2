#pragma once
// Bytes from outside (a radio, a network server, a file) made safe to write where a person
// reads them: the log, a message box, a terminal. Every control byte other than the line
// breaks (C0 0x00-0x1F except CR and LF, DEL 0x7F, C1 0x80-0x9F) becomes "\xHH" with two
// upper-case hexadecimal digits, and a backslash becomes "\\", so that the escaped text reads
// back unambiguously; CR, LF and the printable Latin-1 bytes stay as they came.
//
// Nothing here fails.

#include <string>
#include <string_view>

namespace platform {

std::string EscapeControlBytes(std::string_view bytes);
// The same rule for text held as UTF-16 whose code units below 0x100 stand for the bytes
// (the radio's Latin-1); code units from 0x100 on are left as they are.
std::u16string EscapeControlBytes(std::u16string_view text);

}  // namespace platform
