// Keys typed while the tool is busy: they are discarded before a message box or a dialog takes
// the keyboard, so every result box is seen before it can be answered. The headless backend's
// model of the rule, then the main dialog's sequences that end in a box.
#include "RadioDialogTest.h"
#include "platform/dialog/DialogConstants.h"

using namespace testing_support;
using Key = platform::HeadlessBackend::Key;

namespace {

class HeadlessTypeAhead : public ::testing::Test {
 protected:
  platform::HeadlessScope scope;
  platform::HeadlessBackend& ui = scope.ui;
};

using TypeAhead = RadioDialogTest;

TEST_F(HeadlessTypeAhead, KeysTypedUnderTheWaitCursorNeverAnswerTheNextBox) {
  // A key typed while busy, a box right after the busy spell: the box is the user's to answer.
  ui.Type(300, Key::Escape);
  platform::BeginWaitCursor();
  platform::Sleep(1000);
  platform::EndWaitCursor();
  ui.AnswerNext(platform::IDOK);
  EXPECT_EQ(platform::MessageBoxNoOwner(u"done", u"", platform::MB_OKCANCEL), platform::IDOK);
  EXPECT_FALSE(ui.boxes.back().typedAhead);
  EXPECT_EQ(ui.discardedKeys, 1);

  // A box shown with the wait cursor still up drops what was typed under it as well.
  ui.Type(100, Key::Enter);
  platform::BeginWaitCursor();
  platform::Sleep(500);
  EXPECT_EQ(platform::MessageBoxNoOwner(u"failed", u"", platform::MB_YESNO), platform::IDNO);
  EXPECT_EQ(ui.discardedKeys, 2);
  // Typed under the cursor again after that box: dropped before the next one.
  ui.Type(100, Key::Enter);
  platform::Sleep(500);
  platform::EndWaitCursor();
  EXPECT_EQ(platform::MessageBoxNoOwner(u"again", u"", platform::MB_YESNO), platform::IDNO);
  EXPECT_EQ(ui.discardedKeys, 3);
}

TEST_F(HeadlessTypeAhead, KeysTypedWhileIdleStillReachTheBox) {
  // Once the queue has been found empty after a busy spell, a key waiting when a box opens
  // was typed for it: the model keeps the terminal's and the window system's type-ahead.
  platform::BeginWaitCursor();
  platform::Sleep(200);
  platform::EndWaitCursor();
  EXPECT_FALSE(platform::PumpOneMessage());
  ui.Type(100, Key::Escape);
  platform::Sleep(500);  // blocked without the wait cursor
  EXPECT_EQ(platform::MessageBoxNoOwner(u"question", u"", platform::MB_OKCANCEL),
            platform::IDCANCEL);
  EXPECT_TRUE(ui.boxes.back().typedAhead);
  EXPECT_EQ(ui.discardedKeys, 0);
}

TEST_F(TypeAhead, EscapeDuringASaveLeavesTheSavedBoxToTheUser) {
  ConnectTo(u"COM1", Radio("vireo-us"), u"115200");
  ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, u"19200"));
  // Alt+S, then Escape 0.3 s later, while the store with its rate switch runs.
  ui.Type(300, Key::Escape);
  ASSERT_TRUE(ui.Click(D, IDC_SAVE));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, u"Settings saved.");
  EXPECT_FALSE(ui.boxes[0].typedAhead);
  EXPECT_EQ(ui.discardedKeys, 1);
  EXPECT_EQ(LogSince("Button 'Save' pressed.").back(), "Settings stored OK.");
}

TEST_F(TypeAhead, KeysDuringTheInternalRadiosAttemptsLeaveItsBoxToTheUser) {
  ports.SetBusy(u"COM3:", false);  // the port is there, no radio answers on it
  Open(u"COM3", u"57600");
  ui.Type(1000, Key::Enter);
  ui.Type(9000, Key::Escape);
  Connect();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, u"Could not connect to the internal radio.");
  EXPECT_FALSE(ui.boxes[0].typedAhead);
  EXPECT_EQ(ui.discardedKeys, 2);
}

}  // namespace
