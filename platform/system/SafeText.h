#pragma once
// Texts made safe and fit for character cells. Whatever a text holds (a radio's banner, a
// file's contents, a caption), what reaches the terminal is only characters that take one
// cell and do nothing: control characters are shown in caret form ("^[" for ESC, "^?" for
// DEL), the C1 controls as "\x9B", and characters that could move the cursor, change the
// writing direction or take two cells as "\u{202E}". The dialogs' "&" convention is read
// here too: "&x" marks x as the mnemonic, "&&" is one ampersand.
//
// Nothing here fails; a broken UTF-16 sequence shows as U+FFFD.

#include <string>
#include <vector>

namespace platform {

// A text as a terminal may show it, one cell per character.
std::u32string SafeText(const std::u16string& text);
// The same as UTF-8, for a program that writes lines to its standard output or error.
std::string SafeUtf8(const std::u16string& text);

struct MnemonicText {
  std::u32string shown;  // markers removed, made safe
  int mnemonicAt = -1;   // index in `shown` of the marked character, -1 when none
  char32_t mnemonic = 0;
};
MnemonicText ParseMnemonic(const std::u16string& text);

// Letter case ignored, for mnemonics and the first-letter search of drop-down lists.
char32_t FoldCase(char32_t c);

// Breaks a text into lines of at most `width` cells: at line ends ("\n", "\r\n") and between
// words; a word longer than a line is cut. Each line is made safe.
std::vector<std::u32string> WrapText(const std::u16string& text, int width);

}  // namespace platform
