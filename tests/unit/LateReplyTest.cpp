// A reply that comes late reaches the tool while it waits for the next command's answer. The
// command exchange refuses a reply without the command's own echo, so such a late answer is
// never taken for the next command's: the reset does not report a store the radio never heard,
// and the reading does not take a late answer for the radio's mode.
#include "RadioDialogTest.h"
#include "platform/dialog/DialogConstants.h"

using namespace testing_support;

namespace {

using LateReply = RadioDialogTest;

// The radio answers "sd0B" 400 ms late and switches its rate only then, so the store command
// that follows the reopening is garbled and never heard; the late prompt, sent at the new
// rate, ends the store's read, and the reset beeps as if done.
TEST_F(LateReply, ResetIsNoSuccessWhenTheRadioNeverHeardTheStore) {
  sim::RadioConfig config = Radio("vireo-us");
  config.reconnectAfterOpenMs = -1;
  config.commandFaults["sd0B"] = sim::RadioFault::kSlow;
  auto& radio = ports.Attach(u"COM1:", config);
  Open(u"COM1", u"115200");
  ports.ScheduleReconnect(u"COM1:", 400000);
  Connect();
  ASSERT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  const int stores = radio.StoreCount();
  ui.boxes.clear();
  ui.beeps.clear();
  ui.AnswerNext(platform::IDYES);
  ASSERT_TRUE(ui.Click(D, IDC_DEFAULT));
  ASSERT_EQ(radio.StoreCount(), stores);  // the radio stored nothing
  EXPECT_TRUE(ui.beeps.empty());
  ASSERT_FALSE(ui.boxes.empty());
  EXPECT_EQ(ui.boxes.back().text, u"Error. Verify communication line.");
}

// ":wit2400" answered late: the mode query meets that late reply first. Taken for the mode's
// answer it would give the mode 0x2400 and a reading reported as done.
TEST_F(LateReply, ReadingDoesNotTakeALateReplyForTheMode) {
  sim::RadioConfig config = Radio("vireo-us");
  config.commandFaults[":wit2400"] = sim::RadioFault::kSlow;
  ports.Attach(u"COM1:", config);
  Open(u"COM1", u"115200");
  Connect();
  // The late answer is refused, and the reading fails as for a mode the radio did not give.
  EXPECT_FALSE(dlg->m_settings.connected);
  Texts log = LogSince("Radio settings read OK.").empty() ? LogLines() : Texts{};
  EXPECT_NE(std::find(log.begin(), log.end(), "ERROR: RadioCommand error 3"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "ERROR: Could not read 'Mode'."), log.end());
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
}

}  // namespace
