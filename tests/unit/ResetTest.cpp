// The maker defaults reset ("&Default"), on the headless backend with the radio stand-in on
// the virtual clock: the question, each variant's commands in order, the port reopened at the
// radio's new rate, the log, the boxes, the tool left disconnected with the new rate stored.
#include "RadioDialogTest.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/system/CodePage.h"
#include "platform/system/Registry.h"

using namespace testing_support;
using platform::IDNO;
using platform::IDYES;

namespace {

class ResetTest : public RadioDialogTest {
 protected:
  // The cable is replugged once, for the connect; the reset's reopenings must not restart
  // the radio.
  sim::RadioModem& ConnectTo(const std::u16string& port, const sim::RadioConfig& config,
                             const std::u16string& rate) {
    return RadioDialogTest::ConnectTo(port, config, rate, false, true);
  }
  void Reset(int answer = IDYES) {
    ui.AnswerNext(answer);
    ASSERT_TRUE(ui.Click(D, IDC_DEFAULT));
  }
  std::string StoredBaudrate() {
    platform::RegistryKey key;
    if (key.Open(u"Software\\Morva Fendral\\QELM Config Tool", platform::KEY_QUERY_VALUE) != 0)
      return "";
    char16_t buf[300];
    uint32_t size = sizeof buf;
    if (key.QueryValue(u"Baudrate", buf, &size) != 0) return "";
    return platform::WideToUtf8(buf);
  }
  void ExpectQuestionThen(const std::u16string& last, unsigned lastType) {
    ASSERT_EQ(ui.boxes.size(), lastType ? 2u : 1u);
    EXPECT_EQ(ui.boxes[0].text,
              u"Reset the radio modem to Morva defaults and lose all current settings?");
    EXPECT_EQ(ui.boxes[0].caption, u"QELM Config");
    EXPECT_EQ(ui.boxes[0].type, platform::MB_YESNO | platform::MB_ICONEXCLAMATION);
    if (!lastType) return;
    EXPECT_EQ(ui.boxes[1].text, last);
    EXPECT_EQ(ui.boxes[1].caption, u"QELM Config");
    EXPECT_EQ(ui.boxes[1].type, lastType);
  }
  void ExpectDisconnected(const std::u16string& port) {
    EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
    EXPECT_FALSE(dlg->m_settings.connected);
    EXPECT_FALSE(ports.IsOpen(port + u":"));
    EXPECT_FALSE(ui.Enabled(D, IDC_SAVE));
    EXPECT_FALSE(ui.Enabled(D, IDC_DEFAULT));
    EXPECT_EQ(ui.waitCursorDepth, 0);
    EXPECT_EQ(firmwareLabel, u"Radio Firmware: Not Connected");
  }
};

TEST_F(ResetTest, UsDefaultsOnAnExternalRadioEndAt19200) {
  auto& radio = ConnectTo(u"COM1", Radio("vireo-us"), u"115200");
  Reset();
  EXPECT_EQ(radio.Commands(), (Texts{"m0", "pe00", "pn1", "pw30", "pr10", "wu01", "dx04", "wb1",
                                     "sd0B", "m>", "z>"}));
  Texts log = LogSince("Button 'Default' pressed.");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "Morva US defaults saved.");
  EXPECT_EQ(ports.LineSettings(u"COM1:").BaudRate, 19200u);  // the port was reopened at it
  EXPECT_NE(std::find(log.begin(), log.end(), "Baudrate set to 19200 with sd0B"), log.end());
  ExpectQuestionThen(u"", 0);
  EXPECT_EQ(ui.beeps.size(), 1u);
  ExpectDisconnected(u"COM1");
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"19200");
  EXPECT_EQ(dlg->m_settings.portBaudText, u"19200");
  EXPECT_EQ(StoredBaudrate(), "19200");
  EXPECT_EQ(radio.StoredBaud(), 19200u);
  EXPECT_EQ(radio.StoredRegister("pw"), 0x30u);
  // The user connects again at the radio's new rate, and replugs the cable.
  ports.ScheduleReconnect(u"COM1:", 400000);
  Connect();
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  EXPECT_EQ(ui.Text(D, IDC_MODE), u"Base");
}

TEST_F(ResetTest, SwissDefaultsEndAt115200) {
  auto& radio = ConnectTo(u"COM1", Radio("shrike", 19200), u"19200");
  Reset();
  EXPECT_EQ(radio.Commands(), (Texts{"m0", "pe06", "pn1", "pw34", "pr30", "wu01", "dx00", "wb1",
                                     "sd01", "m>", "z>"}));
  EXPECT_EQ(LogSince("Button 'Default' pressed.").at(1), "Morva Swiss defaults saved.");
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"115200");
  EXPECT_EQ(StoredBaudrate(), "115200");
  EXPECT_EQ(radio.StoredBaud(), 115200u);
}

TEST_F(ResetTest, Model2400ReopensAt9600AndEndsAt19200) {
  auto& radio = ConnectTo(u"COM1", Radio("2400", 4800), u"4800");
  Reset();
  EXPECT_EQ(radio.Commands(), (Texts{"m0", "pe1", "wt1", "pr10", "wb1", "sd040", "m>", "z>"}));
  Texts log = LogSince("Button 'Default' pressed.");
  EXPECT_NE(std::find(log.begin(), log.end(), "Baudrate set to 19200 with sd040"), log.end());
  EXPECT_EQ(ui.beeps.size(), 1u);
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"19200");
  EXPECT_EQ(radio.StoredBaud(), 19200u);
  ExpectDisconnected(u"COM1");
}

TEST_F(ResetTest, InternalRadioKeepsItsRateAndGetsRemote) {
  auto& radio = ConnectTo(u"COM3", Radio("vireo-us", 115200, true), u"115200");
  const int opened = ports.OpenCount(u"COM3:");
  Reset();
  EXPECT_EQ(radio.Commands(),
            (Texts{"m0", "pe00", "pn1", "pw30", "pr10", "wu01", "dx04", "wb0", "m>", "z>"}));
  Texts log = LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "Baudrate set to 115200 with wb0"), log.end());
  EXPECT_EQ(ports.OpenCount(u"COM3:"), opened);  // never reopened
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"115200");
  ExpectDisconnected(u"COM3");
}

TEST_F(ResetTest, Model2400PortNotReopeningSkipsTheGuardedSteps) {
  sim::RadioConfig config = Radio("2400", 9600);
  config.commandFaults["m0"] = sim::RadioFault::kVanish;  // the device is gone after "m0"
  auto& radio = ConnectTo(u"COM1", config, u"9600");
  Reset();
  EXPECT_EQ(radio.Commands(), (Texts{"m0"}));
  Texts log = LogSince("Button 'Default' pressed.");
  auto has = [&](const std::string& l) {
    return std::find(log.begin(), log.end(), l) != log.end();
  };
  EXPECT_TRUE(has("ERROR: Could not re-open port at 9600. (wit2400)"));
  // The profile registers are still attempted, and fail on the closed port.
  EXPECT_TRUE(has("ERROR: Could not set 'packet delivery attempts'."));
  EXPECT_FALSE(has("ERROR: Could not set the transceiver mode."));
  EXPECT_FALSE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
    return l.rfind("Baudrate set to", 0) == 0;
  }));
  ASSERT_EQ(ui.boxes.size(), 3u);  // the question, the port's own box, the error
  EXPECT_EQ(ui.boxes[1].caption, u"Error");
  EXPECT_EQ(ui.boxes[2].text, u"Error. Verify communication line.");
  EXPECT_EQ(ui.boxes[2].type, platform::MB_OK | platform::MB_ICONSTOP);
  EXPECT_TRUE(ui.beeps.empty());
  ExpectDisconnected(u"COM1");
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"9600");  // no rate command went out
}

TEST_F(ResetTest, AFailedProfileRegisterEndsInTheErrorBoxNotTheBeep) {
  sim::RadioConfig config = Radio("vireo-us");
  config.commandFaults["pr10"] = sim::RadioFault::kSilence;
  auto& radio = ConnectTo(u"COM1", config, u"115200");
  Reset();
  // The sequence runs on as the radio needs it ...
  EXPECT_EQ(radio.Commands(),
            (Texts{"m0", "pe00", "pn1", "pw30", "pr10", "wb1", "sd0B", "m>", "z>"}));
  // ... but is not reported as done.
  ExpectQuestionThen(u"Error. Verify communication line.", platform::MB_OK | platform::MB_ICONSTOP);
  EXPECT_TRUE(ui.beeps.empty());
  ExpectDisconnected(u"COM1");
}

TEST_F(ResetTest, AFailedStoreIsAnErrorAndStillDisconnects) {
  sim::RadioConfig config = Radio("shrike");
  // Silent: "m>" carries its own ">", so only a missing echo makes it fail.
  config.commandFaults["m>"] = sim::RadioFault::kSilence;
  auto& radio = ConnectTo(u"COM1", config, u"115200");
  Reset();
  EXPECT_EQ(radio.Commands().back(), "m>");  // no "z>" after a failed store
  Texts log = LogSince("Button 'Default' pressed.");
  EXPECT_NE(std::find(log.begin(), log.end(), "ERROR: Could not store defaults settings."),
            log.end());
  ExpectQuestionThen(u"Error. Verify communication line.", platform::MB_OK | platform::MB_ICONSTOP);
  ExpectDisconnected(u"COM1");
  // The radio did switch: the Baudrate box and the preferences follow it.
  EXPECT_EQ(StoredBaudrate(), "115200");
}

TEST_F(ResetTest, AnswerNoSendsAndChangesNothing) {
  sim::RadioConfig config = Radio("vireo-us");
  auto& radio = ConnectTo(u"COM1", config, u"115200");
  ASSERT_TRUE(ui.SelectText(D, IDC_LINK, u"7"));  // an unsaved change, which must not be asked
  Reset(IDNO);
  EXPECT_TRUE(radio.Commands().empty());
  EXPECT_EQ(LogLines().back(), "Button 'Default' pressed.");
  ExpectQuestionThen(u"", 0);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  EXPECT_TRUE(dlg->m_settings.connected);
  EXPECT_TRUE(ports.IsOpen(u"COM1:"));
  EXPECT_TRUE(ui.Enabled(D, IDC_SAVE));
  EXPECT_EQ(ui.Text(D, IDC_LINK), u"7");
  EXPECT_EQ(StoredBaudrate(), "");  // the preferences were not written
}

}  // namespace
