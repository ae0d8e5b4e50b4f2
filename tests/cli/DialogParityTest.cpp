// The dialog and the command-line program run the same sequences: each is driven against its
// own radio stand-in of the same configuration, on the virtual clock, and what the two radios
// received must be the same bytes.
#include <sstream>

#include "../unit/RadioDialogTest.h"
#include "cli/CliJobs.h"
#include "cli/CliView.h"
#include "log/CLogFile.h"
#include "platform/dialog/DialogConstants.h"

using namespace testing_support;

namespace {

class DialogParityTest : public RadioDialogTest {
 protected:
  // Runs the program's job against a radio of this configuration on a COM1 of its own.
  std::string ProgramBytes(const sim::RadioConfig& config, cli::CliOptions o, bool replugOnce,
                           int* status) {
    dlg.reset();  // the dialog lets go of the port
    sim::SimulatedPorts own{scope.clock};
    sim::RadioModem& radio = own.Attach(u"COM1:", config);
    if (replugOnce) own.ScheduleReconnect(u"COM1:", 400000);
    platform::SetSerialProvider(&own);
    CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
    std::ostringstream err;
    cli::CliView view(log, u"", err, o.yes);
    cli::JobReport report;
    o.port = u"COM1";
    *status = cli::RunJob(view, o, &report);
    platform::SetSerialProvider(&ports);
    return radio.HostBytes();
  }
};

TEST_F(DialogParityTest, SaveWithARateSwitchSendsTheSameBytes) {
  sim::RadioModem& radio = ports.Attach(u"COM1:", Radio("shrike"));
  Open(u"COM1", u"115200");
  Connect();
  ASSERT_TRUE(ui.SelectText(D, IDC_MODE, u"Remote"));
  ASSERT_TRUE(ui.SelectText(D, IDC_LINK, u"12"));
  ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, u"19200"));
  ASSERT_TRUE(ui.Click(D, IDC_SAVE));
  const std::string dialogBytes = radio.HostBytes();
  ASSERT_NE(dialogBytes.find("sd0B\r\n"), std::string::npos);

  cli::CliOptions o;
  o.job = cli::Job::kSave;
  o.link = 12;
  o.mode = 0;
  o.newRate = u"19200";
  int status = -1;
  EXPECT_EQ(ProgramBytes(Radio("shrike"), o, false, &status), dialogBytes);
  EXPECT_EQ(status, 0);
}

TEST_F(DialogParityTest, HandleProfileAndServiceValuesSendTheSameBytes) {
  sim::RadioModem& radio = ports.Attach(u"COM1:", Radio("vireo-us", 57600));
  Open(u"COM1", u"57600", /*service=*/true);
  Connect();
  ASSERT_TRUE(ui.SelectText(D, IDC_DEVICE, u"Corax & Tanager"));
  ASSERT_TRUE(ui.SelectText(D, IDC_LINK, u"7"));
  ASSERT_TRUE(ui.Click(D, IDC_SAVE));
  const std::string dialogBytes = radio.HostBytes();
  ASSERT_NE(dialogBytes.find("sd01\r\n"), std::string::npos);

  cli::CliOptions o;
  o.job = cli::Job::kSave;
  o.rate = u"57600";
  o.service = true;
  o.deviceName = u"corax & tanager";
  o.link = 7;
  int status = -1;
  EXPECT_EQ(ProgramBytes(Radio("vireo-us", 57600), o, false, &status), dialogBytes);
  EXPECT_EQ(status, 0);
}

TEST_F(DialogParityTest, ResetSendsTheSameBytes) {
  sim::RadioConfig config = Radio("shrike");
  config.reconnectAfterOpenMs = -1;  // replugged once; the reset's reopening must not restart it
  sim::RadioModem& radio = ports.Attach(u"COM1:", config);
  Open(u"COM1", u"115200");
  ports.ScheduleReconnect(u"COM1:", 400000);
  Connect();
  ui.AnswerNext(platform::IDYES);
  ASSERT_TRUE(ui.Click(D, IDC_DEFAULT));
  const std::string dialogBytes = radio.HostBytes();
  ASSERT_NE(dialogBytes.find("m0\r\n"), std::string::npos);

  cli::CliOptions o;
  o.job = cli::Job::kReset;
  o.yes = true;
  int status = -1;
  EXPECT_EQ(ProgramBytes(config, o, true, &status), dialogBytes);
  EXPECT_EQ(status, 0);
}

}  // namespace
