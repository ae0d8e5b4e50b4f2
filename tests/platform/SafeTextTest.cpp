// Texts on their way to the terminal: nothing that could act on the terminal gets through,
// mnemonics are read as the dialogs write them, and long texts wrap between words.
#include <gtest/gtest.h>

#include "platform/system/SafeText.h"

using namespace platform;

TEST(SafeText, ControlCharactersAndEscapeSequencesBecomeHarmlessText) {
  EXPECT_EQ(SafeText(u"\x1b[2J\x1b]0;owned\x07"), U"^[[2J^[]0;owned^G");
  EXPECT_EQ(SafeText(u"a\rb\nc\td\x7f"), U"a^Mb^Jc^Id^?");
  // The 8-bit control sequence introducer acts on some terminals by itself.
  EXPECT_EQ(SafeText(u"\x9b"
                     u"31m"),
            U"\\x9B31m");
  EXPECT_EQ(SafeText(std::u16string(1, u'\0')), U"^@");
}

TEST(SafeText, CharactersThatMoveOrWidenTextAreSpelledOut) {
  EXPECT_EQ(SafeText(u"ab\u202Ecd"), U"ab\\u{202E}cd");  // right-to-left override
  EXPECT_EQ(SafeText(u"\u200B"), U"\\u{200B}");
  EXPECT_EQ(SafeText(u"\u65E5"), U"\\u{65E5}");  // takes two cells
  EXPECT_EQ(SafeText(u"\xAD"), U"\\u{00AD}");
  EXPECT_EQ(SafeText(u"\U0001F600"), U"\\u{01F600}");
  // A lone surrogate cannot be shown at all.
  EXPECT_EQ(SafeText(std::u16string(1, char16_t(0xD800))), U"\uFFFD");
}

TEST(SafeText, PrintableLatinTextIsKept) {
  EXPECT_EQ(SafeText(u"Radio Firmware: 5.4"), U"Radio Firmware: 5.4");
  EXPECT_EQ(SafeText(u"Z\u00FCrich \u00A9"), U"Z\u00FCrich \u00A9");
}

TEST(SafeText, MnemonicsFollowTheAmpersandConvention) {
  MnemonicText m = ParseMnemonic(u"Co&nnect");
  EXPECT_EQ(m.shown, U"Connect");
  EXPECT_EQ(m.mnemonicAt, 2);
  EXPECT_EQ(m.mnemonic, U'n');

  m = ParseMnemonic(u"Salt && &Pepper");
  EXPECT_EQ(m.shown, U"Salt & Pepper");
  EXPECT_EQ(m.mnemonicAt, 7);
  EXPECT_EQ(m.mnemonic, U'P');

  EXPECT_EQ(ParseMnemonic(u"Vireo A & Tanager").mnemonicAt, -1);  // a blank marks nothing
  EXPECT_EQ(ParseMnemonic(u"OK").mnemonicAt, -1);
  EXPECT_EQ(ParseMnemonic(u"end&").shown, U"end&");
  EXPECT_EQ(ParseMnemonic(u"&\x1b").shown, U"^[");
  EXPECT_EQ(ParseMnemonic(u"&\x1b").mnemonicAt, -1);
}

TEST(SafeText, WrapsBetweenWordsAndCutsWhatIsTooLong) {
  const auto lines = WrapText(u"Please disconnect, then reconnect the cable to the radio.", 33);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], U"Please disconnect, then reconnect");
  EXPECT_EQ(lines[1], U"the cable to the radio.");

  const auto cut = WrapText(u"abcdefghij", 4);
  ASSERT_EQ(cut.size(), 3u);
  EXPECT_EQ(cut[2], U"ij");

  const auto broken = WrapText(u"one\r\ntwo\n\nthree", 10);
  ASSERT_EQ(broken.size(), 4u);
  EXPECT_EQ(broken[0], U"one");
  EXPECT_EQ(broken[2], U"");
  // Escapes are made safe before wrapping: no line carries a raw control character.
  for (const auto& line : WrapText(u"\x1b[1;1H\x1b[2J", 3))
    for (char32_t c : line) EXPECT_GE(c, U' ');
}

TEST(SafeText, FoldCaseForMnemonicsAndListSearch) {
  EXPECT_EQ(FoldCase(U'N'), U'n');
  EXPECT_EQ(FoldCase(U'n'), U'n');
  EXPECT_EQ(FoldCase(U'\u00C4'), U'\u00E4');
  EXPECT_EQ(FoldCase(U'5'), U'5');
}
