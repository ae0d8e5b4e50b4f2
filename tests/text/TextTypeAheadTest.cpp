// Keys typed while the tool is busy in the terminal: discarded before a message box or a
// dialog takes the keyboard, so a result box stays until its user answers it; keys typed
// while the tool is idle are kept.
#include "TextScope.h"
#include "platform/dialog/DialogConstants.h"
#include "resources/resource.h"

using namespace terminal_test;

using TerminalTypeAhead = TextScope;

TEST_F(TerminalTypeAhead, EscapeTypedDuringTheWorkDoesNotCloseTheResultBox) {
  RecordFrames();
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  uint64_t boxEndedMs = 0;
  int answer = 0;
  dlg.On(IDC_CONNECT, [&] {
    {
      CWaitCursor busy;
      Sleep(2000);  // the store: nothing is read meanwhile
    }
    answer = dlg.MessageBox(u"Settings saved.", u"QELM Config", MB_OK);
    boxEndedMs = NowMs();
  });
  const uint64_t start = NowMs();
  term.Char(U'n');                           // the Connect button's mnemonic
  term.Key(Key::Of(KeyCode::Escape), 300);   // typed ahead, while busy
  term.Key(Key::Of(KeyCode::Enter), 5000);   // the user answers the box
  term.Key(Key::Of(KeyCode::Escape), 6000);  // and closes the dialog
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(answer, IDOK);
  EXPECT_GE(boxEndedMs - start, 5000u);
  EXPECT_EQ(term.discarded, 1);
  ASSERT_FALSE(FramesAtDepth(2).empty());
  EXPECT_TRUE(Contains(FramesAtDepth(2).back().Dump(), "Settings saved."));
}

TEST_F(TerminalTypeAhead, ABoxUnderAWaitCursorStillUpDropsWhatWasTypedBeforeEachBox) {
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  std::vector<uint64_t> boxEndedMs;
  dlg.On(IDC_CONNECT, [&] {
    CWaitCursor busy;
    for (int i = 0; i < 2; ++i) {
      Sleep(1000);
      dlg.MessageBox(u"Attempt failed.", u"", MB_OK);
      boxEndedMs.push_back(NowMs());
    }
  });
  const uint64_t start = NowMs();
  term.Char(U'n');
  term.Key(Key::Of(KeyCode::Enter), 500);   // before the first box: dropped
  term.Key(Key::Of(KeyCode::Enter), 2000);  // answers the first box
  term.Key(Key::Of(KeyCode::Enter), 2500);  // under the cursor again: dropped
  term.Key(Key::Of(KeyCode::Enter), 5000);  // answers the second box
  term.Key(Key::Of(KeyCode::Escape), 6000);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  ASSERT_EQ(boxEndedMs.size(), 2u);
  EXPECT_EQ(boxEndedMs[0] - start, 2000u);
  EXPECT_EQ(boxEndedMs[1] - start, 5000u);
  EXPECT_EQ(term.discarded, 2);
}

TEST_F(TerminalTypeAhead, KeysTypedWhileIdleAreTypeAheadForTheNextBox) {
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  int answer = 0;
  dlg.On(IDC_CONNECT, [&] {
    Sleep(1000);  // blocked without the wait cursor: nothing marks the keys as unseen
    answer = dlg.MessageBox(u"Save?", u"", MB_YESNO);
  });
  term.Char(U'n');
  term.Char(U'y');  // typed ahead for the question
  term.Key(Key::Of(KeyCode::Escape), 3000);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(answer, IDYES);
  EXPECT_EQ(term.discarded, 0);
}
