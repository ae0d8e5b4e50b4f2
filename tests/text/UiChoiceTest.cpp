// Which backend the program picks from its environment.
#include <gtest/gtest.h>

#include "platform/dialog/UiChoice.h"

using namespace platform;

namespace {
UiEnvironment Env(bool display, bool tty, std::string forced = "") {
  UiEnvironment e;
  e.forced = std::move(forced);
  e.display = display;
  e.stdinTerminal = tty;
  e.stdoutTerminal = tty;
  return e;
}
}  // namespace

TEST(UiChoice, ADisplayMeansQtATerminalWithoutOneMeansTheTerminal) {
  EXPECT_EQ(ChooseUi(Env(true, true)).kind, UiKind::Qt);
  EXPECT_EQ(ChooseUi(Env(true, false)).kind, UiKind::Qt);
  EXPECT_EQ(ChooseUi(Env(false, true)).kind, UiKind::Terminal);
  EXPECT_TRUE(ChooseUi(Env(false, true)).message.empty());
  // A Qt platform of its own (offscreen, for instance) is a display for Qt.
  UiEnvironment offscreen = Env(false, true);
  offscreen.qtPlatform = true;
  EXPECT_EQ(ChooseUi(offscreen).kind, UiKind::Qt);
}

TEST(UiChoice, BothStandardInputAndOutputMustBeTheTerminal) {
  UiEnvironment piped = Env(false, true);
  piped.stdoutTerminal = false;
  EXPECT_EQ(ChooseUi(piped).kind, UiKind::None);
  piped = Env(false, true);
  piped.stdinTerminal = false;
  EXPECT_EQ(ChooseUi(piped).kind, UiKind::None);
}

TEST(UiChoice, NeitherDisplayNorTerminalSaysSoInOneLine) {
  const UiChoice c = ChooseUi(Env(false, false));
  EXPECT_EQ(c.kind, UiKind::None);
  EXPECT_NE(c.message.find("no display"), std::string::npos);
  EXPECT_EQ(c.message.find('\n'), std::string::npos);
}

TEST(UiChoice, QelmUiForcesEitherButTheTerminalNeedsOne) {
  EXPECT_EQ(ChooseUi(Env(false, false, "qt")).kind, UiKind::Qt);
  EXPECT_EQ(ChooseUi(Env(true, true, "terminal")).kind, UiKind::Terminal);
  const UiChoice none = ChooseUi(Env(true, false, "terminal"));
  EXPECT_EQ(none.kind, UiKind::None);
  EXPECT_NE(none.message.find("QELM_UI=terminal"), std::string::npos);
  // Anything else is said and ignored.
  const UiChoice other = ChooseUi(Env(false, true, "curses"));
  EXPECT_EQ(other.kind, UiKind::Terminal);
  EXPECT_NE(other.message.find("QELM_UI=curses"), std::string::npos);
}
