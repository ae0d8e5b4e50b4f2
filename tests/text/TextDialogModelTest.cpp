// The keyboard and mouse rules of a terminal dialog, on the main dialog's template and the
// Service dialog's (which has a default button), without a terminal or a CDialog: which
// control has the focus and which command each key or click gives.
#include <gtest/gtest.h>

#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/DialogTemplate.h"
#include "platform/dialog/text/TextDialogModel.h"
#include "platform/system/Clock.h"
#include "resources/resource.h"

using namespace platform;
using Kind = DialogCommand::Kind;

namespace {

Key K(KeyCode code, bool alt = false) {
  return Key{code, 0, alt};
}

class MainDialogKeys : public ::testing::Test {
 protected:
  MainDialogKeys() : m(*FindDialogTemplate(IDD_QELMCONFIG_DIALOG)) {
    for (const char16_t* port : {u"COM1", u"COM2", u"COM3"}) m.ComboAdd(IDC_PORT, port);
    for (const char16_t* rate : {u"4800", u"9600", u"14400", u"19200", u"57600", u"115200"})
      m.ComboAdd(IDC_BAUDRATE, rate);
    m.ComboSetSel(IDC_BAUDRATE, 5);
    m.SetVisible(IDC_SERVICE, false);
  }
  std::vector<int> TabCycle(KeyCode code) {
    std::vector<int> ids;
    for (int i = 0; i < 12; ++i) {
      ids.push_back(m.FocusedId());
      m.HandleKey(K(code));
    }
    return ids;
  }
  TextDialogModel m;
};

}  // namespace

TEST_F(MainDialogKeys, TabFollowsTheTemplateAndSkipsHiddenAndDisabledControls) {
  m.SetEnabled(IDC_DEVICE, false);
  m.SetEnabled(IDC_SAVE, false);
  const std::vector<int> forward = TabCycle(KeyCode::Tab);
  const std::vector<int> expected = {IDC_CONNECT, IDC_PORT,    IDC_BAUDRATE,   IDC_LINK,
                                     IDC_MODE,    IDC_ABOUT,   IDC_HELPBUTTON, IDC_DEFAULT,
                                     IDC_CLOSE,   IDC_CONNECT, IDC_PORT,       IDC_BAUDRATE};
  EXPECT_EQ(forward, expected);
  ASSERT_EQ(m.FocusedId(), IDC_LINK);  // twelve steps on
  m.HandleKey(K(KeyCode::BackTab));
  m.HandleKey(K(KeyCode::BackTab));
  EXPECT_EQ(m.FocusedId(), IDC_PORT);
}

TEST_F(MainDialogKeys, AFocusedControlThatIsDisabledPassesTheFocusOn) {
  m.HandleKey(K(KeyCode::Tab));
  ASSERT_EQ(m.FocusedId(), IDC_PORT);
  m.SetEnabled(IDC_PORT, false);  // as when a radio is connected
  EXPECT_EQ(m.FocusedId(), IDC_BAUDRATE);
}

TEST_F(MainDialogKeys, MnemonicsPressButtonsWithAltOrAsPlainLettersAwayFromLists) {
  EXPECT_EQ(m.HandleKey(Key::Char(U'n')), (DialogCommand{Kind::Button, IDC_CONNECT}));
  EXPECT_EQ(m.HandleKey(Key::Char(U'A', true)), (DialogCommand{Kind::Button, IDC_ABOUT}));
  EXPECT_EQ(m.HandleKey(Key::Char(U'c')), (DialogCommand{Kind::Button, IDC_CLOSE}));
  // On a drop-down list the plain letter searches the list; Alt still reaches the button.
  m.HandleKey(K(KeyCode::Tab));
  ASSERT_EQ(m.FocusedId(), IDC_PORT);
  EXPECT_EQ(m.HandleKey(Key::Char(U'c')), (DialogCommand{Kind::SelChange, IDC_PORT}));
  EXPECT_EQ(m.ComboGetSel(IDC_PORT), 0);
  EXPECT_EQ(m.HandleKey(Key::Char(U'c', true)), (DialogCommand{Kind::Button, IDC_CLOSE}));
  // A disabled or hidden button's letter does nothing.
  m.SetEnabled(IDC_SAVE, false);
  EXPECT_EQ(m.HandleKey(Key::Char(U's', true)), DialogCommand{});
  m.SetVisible(IDC_SERVICE, false);
  EXPECT_EQ(m.HandleKey(Key::Char(U'e', true)), DialogCommand{});
}

TEST_F(MainDialogKeys, EnterCarriesTheFocusedControlEscapeIsCancelF1IsHelp) {
  EXPECT_EQ(m.HandleKey(K(KeyCode::Enter)), (DialogCommand{Kind::Enter, IDC_CONNECT}));
  m.HandleKey(K(KeyCode::Tab));
  m.HandleKey(K(KeyCode::Tab));
  m.HandleKey(K(KeyCode::Tab));
  ASSERT_EQ(m.FocusedId(), IDC_DEVICE);  // an empty list: Enter neither opens nor ends
  EXPECT_EQ(m.HandleKey(K(KeyCode::Enter)), DialogCommand{});
  EXPECT_EQ(m.OpenList(), -1);
  EXPECT_EQ(m.HandleKey(K(KeyCode::Escape)).kind, Kind::Cancel);
  EXPECT_EQ(m.HandleKey(K(KeyCode::F1)).kind, Kind::Help);
  // Space presses a focused button, as a click would.
  for (int i = 0; i < 3; ++i) m.HandleKey(K(KeyCode::BackTab));
  EXPECT_EQ(m.HandleKey(Key::Char(U' ')), (DialogCommand{Kind::Button, IDC_CONNECT}));
}

TEST_F(MainDialogKeys, EnterOpensAClosedListAndPicksInAnOpenOne) {
  m.HandleKey(K(KeyCode::Tab));
  m.HandleKey(K(KeyCode::Tab));
  ASSERT_EQ(m.FocusedId(), IDC_BAUDRATE);
  EXPECT_EQ(m.HandleKey(K(KeyCode::Enter)), DialogCommand{});  // never the OK command here
  EXPECT_EQ(m.OpenList(), 3);
  m.HandleKey(K(KeyCode::Up));
  EXPECT_EQ(m.HandleKey(K(KeyCode::Enter)), (DialogCommand{Kind::SelChange, IDC_BAUDRATE}));
  EXPECT_EQ(m.OpenList(), -1);
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"57600");
}

TEST_F(MainDialogKeys, LeftAndRightMoveTheFocusAndNeverChangeAValue) {
  m.HandleKey(K(KeyCode::Right));
  ASSERT_EQ(m.FocusedId(), IDC_PORT);
  m.ComboSetSel(IDC_PORT, 1);
  EXPECT_EQ(m.HandleKey(K(KeyCode::Right)), DialogCommand{});
  EXPECT_EQ(m.FocusedId(), IDC_BAUDRATE);
  EXPECT_EQ(m.HandleKey(K(KeyCode::Left)), DialogCommand{});
  EXPECT_EQ(m.HandleKey(K(KeyCode::Left)), DialogCommand{});
  EXPECT_EQ(m.FocusedId(), IDC_CONNECT);
  EXPECT_EQ(m.GetText(IDC_PORT), u"COM2");
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"115200");
  // In an open list they do nothing; Up and Down still change a closed list.
  m.HandleKey(K(KeyCode::Right));
  m.HandleKey(K(KeyCode::F4));
  m.HandleKey(K(KeyCode::Right));
  EXPECT_EQ(m.OpenList(), 2);
  EXPECT_EQ(m.ListHot(), 1);
  m.HandleKey(K(KeyCode::Escape));
  EXPECT_EQ(m.HandleKey(K(KeyCode::Down)), (DialogCommand{Kind::SelChange, IDC_PORT}));
  EXPECT_EQ(m.GetText(IDC_PORT), u"COM3");
}

TEST_F(MainDialogKeys, AClosedListTakesArrowsAndFirstLettersAtOnce) {
  VirtualClock clock;
  ScopedClock useClock(clock);
  auto typeApart = [&](char32_t c) {
    clock.SleepUs((TypedPrefix::kGapMs + 1) * 1000);
    return m.HandleKey(Key::Char(c));
  };
  m.HandleKey(K(KeyCode::Tab));
  m.HandleKey(K(KeyCode::Tab));
  ASSERT_EQ(m.FocusedId(), IDC_BAUDRATE);
  EXPECT_EQ(m.HandleKey(K(KeyCode::Up)), (DialogCommand{Kind::SelChange, IDC_BAUDRATE}));
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"57600");
  EXPECT_EQ(m.HandleKey(K(KeyCode::Home)).kind, Kind::SelChange);
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"4800");
  // Already at the top: nothing changes, no command.
  EXPECT_EQ(m.HandleKey(K(KeyCode::Up)), DialogCommand{});
  // Letters typed apart search from the selection on and wrap.
  EXPECT_EQ(typeApart(U'1').kind, Kind::SelChange);
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"14400");
  typeApart(U'1');
  typeApart(U'1');
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"115200");
  typeApart(U'1');
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"14400");
}

TEST_F(MainDialogKeys, KeysTypedCloseTogetherSearchByPrefix) {
  VirtualClock clock;
  ScopedClock useClock(clock);
  // After a pause, the keys 300 ms apart.
  auto type = [&](const std::u32string& keys) {
    clock.SleepUs(2 * TypedPrefix::kGapMs * 1000);
    for (char32_t c : keys) {
      m.HandleKey(Key::Char(c));
      clock.SleepUs(300000);
    }
  };
  m.HandleKey(K(KeyCode::Tab));
  m.HandleKey(K(KeyCode::Tab));
  ASSERT_EQ(m.FocusedId(), IDC_BAUDRATE);
  type(U"19");
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"19200");
  type(U"57");  // after the pause a new search, not "1957"
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"57600");
  // Typed apart, the second key starts again.
  type(U"1");
  type(U"9");
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"9600");
  // A prefix nothing begins with moves nothing; a repeated letter goes on by first letter.
  type(U"11");
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"115200");
  type(U"117");
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"115200");
  type(U"44");
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"4800");
  type(U"99");
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"9600");
  // In the open list the highlight follows the same search.
  m.HandleKey(K(KeyCode::Enter));
  type(U"14");
  EXPECT_EQ(m.ListHot(), 2);
  EXPECT_EQ(m.HandleKey(K(KeyCode::Enter)), (DialogCommand{Kind::SelChange, IDC_BAUDRATE}));
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"14400");
}

TEST_F(MainDialogKeys, AnOpenListPicksWithEnterAndClosesWithEscapeUnchanged) {
  m.HandleKey(K(KeyCode::Tab));
  m.HandleKey(K(KeyCode::Tab));
  m.SetListRows(3, 8);
  EXPECT_EQ(m.HandleKey(Key::Char(U' ')), DialogCommand{});
  ASSERT_EQ(m.OpenList(), 3);
  EXPECT_EQ(m.ListHot(), 5);  // opens on the selection
  m.HandleKey(K(KeyCode::Up));
  m.HandleKey(K(KeyCode::Up));
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"115200");  // moving in the list changes nothing yet
  EXPECT_EQ(m.HandleKey(K(KeyCode::Escape)), DialogCommand{});  // not the cancel command
  EXPECT_EQ(m.OpenList(), -1);
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"115200");

  m.HandleKey(K(KeyCode::F4));
  m.HandleKey(Key::Char(U'9'));
  EXPECT_EQ(m.ListHot(), 1);
  EXPECT_EQ(m.HandleKey(K(KeyCode::Enter)), (DialogCommand{Kind::SelChange, IDC_BAUDRATE}));
  EXPECT_EQ(m.OpenList(), -1);
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"9600");

  m.HandleKey(K(KeyCode::Down, true));  // Alt+Down opens too
  EXPECT_EQ(m.OpenList(), 3);
}

TEST_F(MainDialogKeys, ALongListScrollsToKeepTheHighlightInView) {
  for (int i = 0; i < 16; ++i) m.ComboAdd(IDC_LINK, std::u16string(1, u'a' + i));
  m.SetListRows(5, 8);
  for (int i = 0; i < 3; ++i) m.HandleKey(K(KeyCode::Tab));
  ASSERT_EQ(m.FocusedId(), IDC_DEVICE);  // empty: Space opens nothing
  m.HandleKey(Key::Char(U' '));
  EXPECT_EQ(m.OpenList(), -1);
  m.HandleKey(K(KeyCode::Tab));
  ASSERT_EQ(m.FocusedId(), IDC_LINK);
  m.HandleKey(Key::Char(U' '));
  m.HandleKey(K(KeyCode::End));
  EXPECT_EQ(m.ListHot(), 15);
  EXPECT_EQ(m.ListTop(), 8);
  m.HandleKey(K(KeyCode::PageUp));
  EXPECT_EQ(m.ListHot(), 7);
  EXPECT_EQ(m.ListTop(), 7);
}

TEST_F(MainDialogKeys, ClicksPressButtonsOpenListsAndPickEntries) {
  EXPECT_EQ(m.ClickControl(9), (DialogCommand{Kind::Button, IDC_DEFAULT}));
  EXPECT_EQ(m.FocusedId(), IDC_DEFAULT);
  m.SetEnabled(IDC_SAVE, false);
  EXPECT_EQ(m.ClickControl(10), DialogCommand{});  // disabled
  EXPECT_EQ(m.ClickControl(3), DialogCommand{});   // the Baudrate list opens
  EXPECT_EQ(m.OpenList(), 3);
  EXPECT_EQ(m.ClickListEntry(2), (DialogCommand{Kind::SelChange, IDC_BAUDRATE}));
  EXPECT_EQ(m.GetText(IDC_BAUDRATE), u"14400");
  // A click beside an open list only closes it.
  m.ClickControl(3);
  EXPECT_EQ(m.ClickControl(0), DialogCommand{});
  EXPECT_EQ(m.OpenList(), -1);
}

TEST_F(MainDialogKeys, ListsKeepTheirContentsAsTheFrameworkAsks) {
  EXPECT_EQ(m.GetText(IDC_PORT), u"");  // nothing selected yet
  m.ComboSetSel(IDC_PORT, 7);
  EXPECT_EQ(m.ComboGetSel(IDC_PORT), CB_ERR);
  m.SetText(IDC_PORT, u"COM9");  // a list's text cannot be set
  EXPECT_EQ(m.GetText(IDC_PORT), u"");
  m.ComboSetSel(IDC_PORT, 1);
  m.ComboReset(IDC_PORT);
  EXPECT_EQ(m.ComboCount(IDC_PORT), 0);
  EXPECT_EQ(m.ComboGetSel(IDC_PORT), CB_ERR);
  EXPECT_EQ(m.ComboAdd(4711, u"x"), CB_ERR);
  EXPECT_FALSE(m.IsEnabled(4711));
  EXPECT_FALSE(m.IsVisible(4711));
  m.SetText(0, u"Caption");
  EXPECT_EQ(m.GetText(0), u"Caption");
}

TEST(TerminalDialogKeys, LabelMnemonicsFocusTheNextControlAndSharedLettersCycle) {
  DialogTemplate tpl;
  tpl.cx = 100;
  tpl.cy = 40;
  auto add = [&tpl](int id, ControlKind kind, const char16_t* text) {
    ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.text = text;
    c.tabStop = kind != ControlKind::Label;
    tpl.controls.push_back(c);
  };
  add(10, ControlKind::Label, u"&Band:");
  add(11, ControlKind::ComboBox, u"");
  add(12, ControlKind::PushButton, u"&Start");
  add(13, ControlKind::PushButton, u"&Stop");
  add(14, ControlKind::PushButton, u"&Quit");
  TextDialogModel m(tpl);
  EXPECT_EQ(m.FocusedId(), 11);
  m.HandleKey(Key::Char(U'q', true));
  EXPECT_EQ(m.HandleKey(Key::Char(U's', true)), DialogCommand{});  // two buttons share it
  EXPECT_EQ(m.FocusedId(), 12);
  m.HandleKey(Key::Char(U's'));
  EXPECT_EQ(m.FocusedId(), 13);
  EXPECT_EQ(m.HandleKey(Key::Char(U'b')), DialogCommand{});
  EXPECT_EQ(m.FocusedId(), 11);
}

TEST(TerminalDialogKeys, SortedListsInsertInOrderIgnoringCase) {
  DialogTemplate tpl;
  ControlTemplate c;
  c.id = 5;
  c.kind = ControlKind::ComboBox;
  c.sorted = true;
  tpl.controls.push_back(c);
  TextDialogModel m(tpl);
  m.ComboAdd(5, u"beta");
  m.ComboAdd(5, u"Delta");
  m.ComboSetSel(5, 1);
  EXPECT_EQ(m.ComboAdd(5, u"alpha"), 0);
  EXPECT_EQ(m.ComboAdd(5, u"Charlie"), 2);
  EXPECT_EQ(m.GetText(5), u"Delta");  // the selection follows its entry
}
