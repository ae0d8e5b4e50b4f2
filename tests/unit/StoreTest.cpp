// Storing settings into the radio with "&Save", on the headless backend with the radio
// stand-in on the virtual clock: the commands on the wire in order and the waits between them,
// the log, the message boxes, the port afterwards, and what a reconnect reads back.
#include <optional>

#include "FakePorts.h"
#include "RadioDialogTest.h"
#include "platform/dialog/DialogConstants.h"
#include "radio/StoreProgress.h"
#include "radio/StoreSettings.h"

using namespace testing_support;

namespace {

class StoreTest : public RadioDialogTest {
 protected:
  void Save() { ASSERT_TRUE(ui.Click(D, IDC_SAVE)); }
  // Milliseconds between the line ends of two commands the radio heard.
  double MsBetween(sim::RadioModem& r, size_t from, size_t to) {
    return (r.CommandTimes().at(to) - r.CommandTimes().at(from)) / 1000.0;
  }
  bool Logged(const std::string& line) {
    Texts l = LogLines();
    return std::find(l.begin(), l.end(), line) != l.end();
  }
  void ExpectOneBox(const std::u16string& text) {
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, text);
    EXPECT_EQ(ui.boxes[0].caption, u"QELM Config");
    EXPECT_EQ(ui.boxes[0].type, platform::MB_OK);  // OK only, no icon
  }
  // After every save, whatever its outcome, the tool is disconnected with the port closed.
  void ExpectDisconnected(const std::u16string& port) {
    EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
    EXPECT_FALSE(dlg->m_settings.connected);
    EXPECT_FALSE(ports.IsOpen(port + u":"));
    EXPECT_FALSE(ui.Enabled(D, IDC_SAVE));
    EXPECT_TRUE(ui.Enabled(D, IDC_PORT));
    EXPECT_EQ(ui.waitCursorDepth, 0);
  }
};

TEST_F(StoreTest, BaseModeAndLinkTenWithTheRateUnchanged) {
  auto& radio = ConnectTo(u"COM1", Radio("shrike"), u"115200");
  ASSERT_TRUE(ui.SelectText(D, IDC_MODE, u"Base"));
  ASSERT_TRUE(ui.SelectText(D, IDC_LINK, u"10"));
  Save();
  EXPECT_EQ(radio.Commands(),
            (Texts{"wb1", "wna", "pn1", "pw34", "pr30", "wu01", "dx00", "m>", "z>"}));
  ExpectOneBox(u"Settings saved.");
  EXPECT_EQ(ui.beeps.size(), 1u);
  Texts log = LogSince("Button 'Save' pressed.");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "OnSave");
  EXPECT_EQ(log.back(), "Settings stored OK.");
  ExpectDisconnected(u"COM1");
  EXPECT_EQ(radio.StoreCount(), 1);
  // Connecting again reads back what was stored.
  Connect();
  EXPECT_EQ(ui.Text(D, IDC_MODE), u"Base");
  EXPECT_EQ(ui.Text(D, IDC_LINK), u"10");
  EXPECT_EQ(ui.Text(D, IDC_DEVICE), u"Vireo B & Shrike");
}

TEST_F(StoreTest, RateSwitchMovesRadioAndPortTogether) {
  auto& radio = ConnectTo(u"COM1", Radio("vireo-us"), u"115200");
  ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, u"19200"));
  Save();
  ASSERT_EQ(radio.Commands(), (Texts{"wb1", "wn3", "sd0B", "", "sd?", "pn1", "pw30", "pr10", "wu01",
                                     "dx04", "m>", "z>"}));
  // The lone carriage return 400 ms after the rate command (200 ms, purge, 200 ms), "sd?"
  // 200 ms after it; only the bytes' own line time on top.
  EXPECT_NEAR(MsBetween(radio, 2, 3), 400.0, 3.0);
  EXPECT_NEAR(MsBetween(radio, 3, 4), 200.0, 3.0);
  Texts log = LogSince("OnSave");
  EXPECT_NE(std::find(log.begin(), log.end(), "Baudrate set to 19200 with sd0B"), log.end());
  EXPECT_EQ(log.back(), "Settings stored OK.");
  EXPECT_EQ(ports.LineSettings(u"COM1:").BaudRate, 19200u);
  EXPECT_EQ(dlg->m_settings.portBaudText, u"19200");
  ExpectOneBox(u"Settings saved.");
  EXPECT_EQ(radio.StoredBaud(), 19200u);
  // The Baudrate box keeps the new rate: connecting again finds the radio at once.
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"19200");
  ui.modalRuns.clear();
  Connect();
  EXPECT_EQ(ui.modalRuns.size(), 1u);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  EXPECT_EQ(ui.Text(D, IDC_DEVICE), u"Vireo B & Tanager");
}

TEST_F(StoreTest, Model2400UsesItsOwnRateCodes) {
  auto& radio = ConnectTo(u"COM1", Radio("2400", 9600), u"9600");
  ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, u"4800"));
  Save();
  EXPECT_EQ(radio.Commands(), (Texts{"wb1", "wn0", "sd109", "", "sd?", "pr10", "m>", "z>"}));
  EXPECT_TRUE(Logged("Baudrate set to 4800 with sd109"));
  EXPECT_EQ(radio.StoredBaud(), 4800u);
}

TEST_F(StoreTest, Model2400RefusesRatesItHasNoCodeForBeforeSendingAnything) {
  auto& radio = ConnectTo(u"COM1", Radio("2400", 9600), u"9600");
  ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, u"57600"));
  Save();
  EXPECT_TRUE(radio.Commands().empty());
  EXPECT_TRUE(
      Logged("ERROR: Could not set 'Baudrate' to 57600: model 2400 has no rate code for it."));
  EXPECT_FALSE(Logged("Settings stored OK."));
  ExpectOneBox(u"Error. Settings not saved.");
  ExpectDisconnected(u"COM1");
}

TEST_F(StoreTest, ServiceModeSendsBandAndPowerAfterTheLink) {
  auto& radio = ConnectTo(u"COM1", Radio("shrike"), u"115200", true);
  dlg->m_settings.band = 6;
  dlg->m_settings.transmitPower = 1;
  Save();
  EXPECT_EQ(radio.Commands(),
            (Texts{"wb1", "wn5", "pe6", "wp1", "pn1", "pw34", "pr30", "wu01", "dx00", "m>", "z>"}));
}

TEST_F(StoreTest, AServiceValueTheRadioDoesNotTakeStopsTheStoreAtOnce) {
  struct Case {
    const char* command;
    Texts heard;
    const char* line;
  };
  const Case cases[] = {
      {"pe6", {"wb1", "wn5", "pe6"}, "ERROR: Could not set 'Freq. band' (service)."},
      {"wp1", {"wb1", "wn5", "pe6", "wp1"}, "ERROR: Could not set 'Transmit power' (service)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    sim::RadioConfig config = Radio("shrike");
    config.commandFaults[c.command] = sim::RadioFault::kNoPrompt;
    auto& radio = ConnectTo(u"COM1", config, u"115200", true);
    dlg->m_settings.band = 6;
    dlg->m_settings.transmitPower = 1;
    Save();
    // Nothing after the refused value: no profile registers, no store.
    EXPECT_EQ(radio.Commands(), c.heard);
    EXPECT_EQ(LogSince("OnSave").back(), c.line);
    EXPECT_EQ(radio.StoreCount(), 0);
    ExpectOneBox(u"Error. Settings not saved.");
    EXPECT_TRUE(ui.beeps.empty());
    ExpectDisconnected(u"COM1");
  }
}

TEST_F(StoreTest, AProfileRegisterThatFailsStillClosesTheExchangeButIsNoSuccess) {
  sim::RadioConfig config = Radio("shrike");
  config.commandFaults["pw34"] = sim::RadioFault::kSilence;
  auto& radio = ConnectTo(u"COM1", config, u"115200");
  Save();
  EXPECT_EQ(radio.Commands(), (Texts{"wb1", "wn5", "pn1", "pw34", "m>", "z>"}));
  EXPECT_TRUE(Logged("ERROR: Could not set 'max. buffer size'."));
  EXPECT_FALSE(Logged("Settings stored OK."));
  ExpectOneBox(u"Error. Settings not saved.");
  EXPECT_TRUE(ui.beeps.empty());
  ExpectDisconnected(u"COM1");
}

TEST_F(StoreTest, AFailedModeStopsTheStoreAtOnce) {
  sim::RadioConfig config = Radio("shrike");
  config.commandFaults["wb1"] = sim::RadioFault::kNoPrompt;
  auto& radio = ConnectTo(u"COM1", config, u"115200");
  Save();
  EXPECT_EQ(radio.Commands(), (Texts{"wb1"}));
  Texts log = LogSince("OnSave");
  EXPECT_EQ(log.back(), "ERROR: Could not set 'Mode'.");
  ExpectOneBox(u"Error. Settings not saved.");
}

TEST_F(StoreTest, NoModeSelectedLeavesTheRadiosModeAlone) {
  sim::RadioConfig config = Radio("shrike");
  config.registers["wb"] = 2;  // a mode the list does not have
  auto& radio = ConnectTo(u"COM1", config, u"115200");
  EXPECT_EQ(ui.Selection(D, IDC_MODE), -1);
  Save();
  EXPECT_EQ(radio.Commands(), (Texts{"wn5", "pn1", "pw34", "pr30", "wu01", "dx00", "m>", "z>"}));
  EXPECT_TRUE(Logged("Mode not selected: the radio's mode is left unchanged."));
  EXPECT_EQ(radio.StoredRegister("wb"), 2u);
  ExpectOneBox(u"Settings saved.");
}

const Texts kHandleProfile = {"sp00", "wb0", "wd30", "wg0",  "wl0",  "wn0",  "wp1",
                              "wu1",  "dx0", "pe6",  "pk01", "pr30", "pt00", "px0",
                              "zb1",  "zc1", "zp0",  "zq0",  "m>",   "z>"};

TEST_F(StoreTest, HandleProfileIsStoredWhole) {
  auto& radio = ConnectTo(u"COM1", Radio("corax"), u"115200");
  ASSERT_EQ(ui.Text(D, IDC_DEVICE), u"Corax & Tanager");
  Save();
  EXPECT_EQ(radio.Commands(), kHandleProfile);
  EXPECT_EQ(LogLines().back(), "Corax settings stored OK.");
  ExpectOneBox(u"Settings saved.");
}

TEST_F(StoreTest, HandleProfileSwitchesTheRateTo115200First) {
  auto& radio = ConnectTo(u"COM1", Radio("shrike", 19200), u"19200");
  ASSERT_TRUE(ui.SelectText(D, IDC_DEVICE, u"Corax & Tanager"));
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"115200");
  Save();
  Texts expected = {"sd01", "", "sd?"};
  expected.insert(expected.end(), kHandleProfile.begin(), kHandleProfile.end());
  EXPECT_EQ(radio.Commands(), expected);
  EXPECT_TRUE(Logged("Baudrate set to 115200 with sd01"));
  EXPECT_EQ(radio.StoredBaud(), 115200u);
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"115200");
}

TEST_F(StoreTest, HandleProfileRefusesFirmwareBelow54) {
  sim::RadioConfig config = Radio("corax");
  config.firmware = "5.3";
  auto& radio = ConnectTo(u"COM1", config, u"115200");
  Save();
  EXPECT_TRUE(radio.Commands().empty());
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text,
            u"This firmware version (5.3) is not compatible with the radio handle.");
  EXPECT_EQ(ui.boxes[0].caption, u"Error");
  EXPECT_EQ(ui.boxes[1].text, u"Error. Settings not saved.");
  EXPECT_EQ(LogLines().back(), "OnSave");  // the refusal writes no line of its own
}

TEST(HandleFirmware, FromVersion54On) {
  EXPECT_FALSE(radio::HandleFirmwareAccepted(-1.0));
  EXPECT_FALSE(radio::HandleFirmwareAccepted(5.3));
  EXPECT_TRUE(radio::HandleFirmwareAccepted(5.4));
  EXPECT_TRUE(radio::HandleFirmwareAccepted(std::stod("5.4")));
  EXPECT_TRUE(radio::HandleFirmwareAccepted(6.0));
}

TEST_F(StoreTest, SaveWithThePortClosedIsResultThree) {
  ConnectTo(u"COM1", Radio("shrike"), u"115200");
  CSerialPort::ClosePort();
  EXPECT_EQ(radio::SaveSettings(*dlg), 3);
  EXPECT_EQ(LogLines().back(), "ERROR: SaveSettings RC_PORT_NOT_OPEN.");
}

}  // namespace

// A port that refuses the new rate, on a line scripted byte by byte.
TEST(StoreOnAScriptedLine, PortRefusingTheNewRateIsResultTwoAndNothingFollows) {
  TempFolder folder;
  platform::HeadlessScope scope;
  FakePorts ports;
  platform::SetSerialProvider(&ports);
  CConfigApp app;
  {
    CConfigDlg dlg;
    ASSERT_TRUE(dlg.Create());
    FakeLine& line = ports.Line(u"COM1:");
    // Every line is echoed with a zero value and the prompt; the banner comes after a moment.
    line.AnswerLines([](const std::string& cmd) { return cmd + "\r\n00\r\n>"; });
    scope.ui.Schedule(500, [&] { line.Arrive("\r\nWR 2410 v5.4 modem:", 0, 100); });
    ASSERT_TRUE(scope.ui.Click(D, IDC_CONNECT));
    ASSERT_EQ(scope.ui.Text(D, IDC_CONNECT), u"Disco&nnect");
    ASSERT_TRUE(scope.ui.SelectText(D, IDC_BAUDRATE, u"9600"));
    line.written.clear();
    line.answered = 0;
    line.failSetState = true;
    EXPECT_EQ(radio::SaveSettings(dlg), 2);
    EXPECT_EQ(line.written, "wb0\r\nwn0\r\nsd17\r\n");
    Texts log = UnstampedLines(ReadFile(folder.LogPath()));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Baudrate set to 9600 with sd17");
    EXPECT_EQ(log.back(), "ERROR: Could not set computer to new baudrate.");
    EXPECT_EQ(dlg.m_settings.portBaudText, u"9600");
  }
  platform::SetSerialProvider(nullptr);
}

// What a report learns of the store: a device gone before "m>" took none of it (not stored,
// though the sequence still tries "m>" and "z>"); a whole store is confirmed (stored).
TEST_F(StoreTest, StoredFollowsWhereTheDeviceWasLost) {
  struct Case {
    const char* vanishAt;
    std::optional<bool> stored;
  };
  for (const Case& c : {Case{"wu01", false}, Case{"", true}}) {
    SCOPED_TRACE(c.vanishAt);
    sim::RadioConfig config = Radio("shrike");
    if (*c.vanishAt) config.commandFaults[c.vanishAt] = sim::RadioFault::kVanish;
    auto& radio = ConnectTo(u"COM1", config, u"115200");
    radio::StoreProgress progress;
    dlg->m_settings.storeProgress = &progress;
    ASSERT_TRUE(ui.SelectText(D, IDC_LINK, u"10"));
    Save();
    dlg->m_settings.storeProgress = nullptr;
    EXPECT_EQ(progress.Get().Stored(), c.stored);
    EXPECT_EQ(radio.StoreCount(), c.stored == true ? 1 : 0);
    ui.boxes.clear();
  }
}
