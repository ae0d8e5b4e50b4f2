// Connecting to the radio and reading its settings, on the headless backend with the radio
// stand-in joined to the virtual clock: what went on the wire, what the log holds, what the
// dialog shows and which message boxes came.
#include "RadioDialogTest.h"

using namespace testing_support;
using platform::IDCANCEL;
using platform::IDNO;
using platform::IDYES;

namespace {

using ConnectTest = RadioDialogTest;

TEST_F(ConnectTest, ExternalRadioConnectsAfterTheCableIsReconnected) {
  auto& radio = ports.Attach(u"COM1:", Radio("vireo-us"));
  Open(u"COM1", u"115200");
  Connect();
  EXPECT_EQ(ui.modalRuns, (std::vector<int>{W}));
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  EXPECT_TRUE(dlg->m_settings.connected);
  EXPECT_FALSE(dlg->m_settings.internalRadio);
  EXPECT_EQ(ui.Text(D, IDC_DEVICE), u"Vireo B & Tanager");
  EXPECT_TRUE(dlg->m_settings.usProfile);
  EXPECT_FALSE(ui.Enabled(D, IDC_PORT));
  EXPECT_TRUE(ui.Enabled(D, IDC_SAVE));
  EXPECT_EQ(Queries(radio), (Texts{"wb?", "wn?", "dx?", "pe?"}));
  EXPECT_EQ(radio.Commands().front(), ":wit2400");
  EXPECT_EQ(ui.beeps.size(), 1u);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(ui.waitCursorDepth, 0);
  Texts log = LogSince("Button 'Connect' pressed.");
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[1], "Port COM1 opened at 115200");
  EXPECT_EQ(log.back(), "Radio settings read OK.");
  EXPECT_EQ(firmwareLabel, u"Radio Firmware: 5.4");
}

TEST_F(ConnectTest, WrongRateWalksTheRateListWithOneWaitingDialogPerRate) {
  auto& radio = ports.Attach(u"COM1:", Radio("shrike", 19200));
  Open(u"COM1", u"115200");
  std::vector<std::u16string> captions;
  Connect();
  EXPECT_EQ(ui.modalRuns.size(), 5u);  // 115200, 4800, 9600, 14400, then 19200
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"19200");
  EXPECT_EQ(dlg->m_settings.baudText, u"19200");
  EXPECT_EQ(dlg->m_settings.portBaudText, u"19200");
  EXPECT_EQ(ui.Text(D, IDC_DEVICE), u"Vireo B & Shrike");
  Texts log = LogSince("Button 'Connect' pressed.");
  EXPECT_EQ(std::count(log.begin(), log.end(), "Could't read banner, port closed."), 4);
  EXPECT_EQ(log[1], "Port COM1 opened at 115200");
  EXPECT_NE(std::find(log.begin(), log.end(), "Port COM1 opened at 4800"), log.end());
  EXPECT_EQ(Queries(radio).front(), "wb?");
}

TEST_F(ConnectTest, WaitingDialogShowsTheRateItTries) {
  ports.Attach(u"COM2:", Radio("shrike", 9600));
  Open(u"COM2", u"4800");
  std::vector<std::u16string> captions;
  ui.Schedule(50, [&] { captions.push_back(ui.Text(W, 0)); });
  ui.Schedule(1300, [&] { captions.push_back(ui.Text(W, 0)); });
  Connect();
  ASSERT_EQ(captions.size(), 2u);
  EXPECT_EQ(captions[0], u"Waiting for radio at 4800 bps...");
  EXPECT_EQ(captions[1], u"Waiting for radio at 9600 bps...");
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
}

TEST_F(ConnectTest, CancelInTheWaitingDialogLeavesTheToolNotConnected) {
  ports.Attach(u"COM1:", Radio("shrike"));
  ports.Radio(u"COM1:")->ClearFaults();
  sim::RadioConfig silent = Radio("shrike");
  silent.reconnectAfterOpenMs = -1;  // nobody replugs the cable
  ports.Attach(u"COM1:", silent);
  Open(u"COM1", u"115200");
  ui.Schedule(100, [&] { EXPECT_TRUE(ui.Click(W, IDC_WAIT_CANCEL)); });  // within the first 200 ms
  Connect();
  EXPECT_EQ(LogLines().back(), "Tentative connection cancelled.");
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
  EXPECT_FALSE(dlg->m_settings.connected);
  EXPECT_FALSE(ports.IsOpen(u"COM1:"));  // closed at once after a cancelled wait
  EXPECT_TRUE(ui.Enabled(D, IDC_PORT));
  EXPECT_FALSE(ui.stuck);
}

TEST_F(ConnectTest, RadioVanishingDuringTheWaitEndsWithoutHanging) {
  sim::RadioConfig config = Radio("shrike");
  config.reconnectAfterOpenMs = -1;
  auto& radio = ports.Attach(u"COM1:", config);
  Open(u"COM1", u"115200");
  ui.Schedule(600, [&] { radio.Vanish(scope.clock.NowUs()); });  // the adapter is pulled out
  Connect();
  Texts log = LogSince("Button 'Connect' pressed.");
  EXPECT_NE(std::find(log.begin(), log.end(), "Could't read banner, port closed."), log.end());
  EXPECT_EQ(log.back(), "ERROR: Cannot open port. OnDetect returns.");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, u"Cannot open port.");
  EXPECT_FALSE(ui.stuck);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
}

TEST_F(ConnectTest, InternalRadioWithoutAnswerGetsThirtyFiveAttemptsOverTheRates) {
  ports.SetBusy(u"COM3:", false);  // the port is there, no radio answers on it
  Open(u"COM3", u"57600");
  Connect();
  Texts log = LogSince("Button 'Connect' pressed.");
  const char* order[] = {"57600", "115200", "4800", "9600", "14400", "19200"};
  int opened = 0;
  for (const auto& l : log) {
    if (l.rfind("Port COM3 opened at ", 0) != 0) continue;
    EXPECT_EQ(l, std::string("Port COM3 opened at ") + order[opened % 6]) << opened;
    ++opened;
  }
  EXPECT_EQ(opened, 35);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Could not read banner, port closed."), 35);
  EXPECT_EQ(log.back(), "Could not connect to the internal radio.");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, u"Could not connect to the internal radio.");
  EXPECT_EQ(ui.boxes[0].caption, u"QELM Config");
  EXPECT_EQ(ui.boxes[0].IconFlags(), platform::MB_ICONSTOP);
  EXPECT_EQ(ui.waitCursorBegins, 35);
  EXPECT_EQ(ui.waitCursorDepth, 0);
  EXPECT_TRUE(ui.modalRuns.empty());  // the internal radio needs no waiting dialog
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
}

TEST_F(ConnectTest, PortThatCannotBeOpenedEndsAtTheFifthFailure) {
  ports.SetBusy(u"COM3:", false);
  Open(u"COM3", u"9600");
  ports.SetBusy(u"COM3:", true);  // another program took it after the list was made
  Connect();
  Texts log = LogSince("Button 'Connect' pressed.");
  EXPECT_EQ(log, (Texts{"Button 'Connect' pressed.", "ERROR: Could not open port: COM3 at 9600",
                        "ERROR: Could not open port: COM3 at 14400",
                        "ERROR: Could not open port: COM3 at 19200",
                        "ERROR: Could not open port: COM3 at 57600",
                        "ERROR: Cannot open port. OnDetect returns."}));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, u"Cannot open port.");
  EXPECT_EQ(ui.boxes[0].caption, u"Error");
  EXPECT_EQ(ui.waitCursorDepth, 0);
}

TEST_F(ConnectTest, ExternalPortThatCannotBeOpenedLogsWithoutTheRate) {
  ports.Attach(u"COM2:", Radio("shrike"));
  Open(u"COM2", u"115200");
  ports.SetBusy(u"COM2:", true);
  Connect();
  Texts log = LogSince("Button 'Connect' pressed.");
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[1], "ERROR: Could not open port: COM2");
  EXPECT_EQ(log[5], "ERROR: Cannot open port. OnDetect returns.");
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"19200");  // four steps on from 115200
}

TEST_F(ConnectTest, UnansweredModeQueryEndsTheReadingAndTheConnection) {
  auto& radio = ports.Attach(u"COM1:", Radio("shrike"));
  radio.SetCommandFault("wb?", sim::RadioFault::kSilence);
  Open(u"COM1", u"115200");
  Connect();
  Texts log = LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "ERROR: Could not read 'Mode'."), log.end());
  EXPECT_EQ(log.back(), "ERROR: Settings could not be read.");
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, u"Error");
  EXPECT_EQ(ui.boxes[0].caption, u"Mode");
  EXPECT_EQ(ui.boxes[0].Buttons(), platform::MB_OK);
  EXPECT_EQ(ui.boxes[1].text, u"Settings could not be read.");
  EXPECT_EQ(ui.boxes[1].caption, u"Error");
  EXPECT_EQ(Queries(radio), (Texts{"wb?"}));  // and nothing after it
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
  EXPECT_FALSE(dlg->m_settings.connected);
  EXPECT_FALSE(ports.IsOpen(u"COM1:"));
  EXPECT_FALSE(ui.Enabled(D, IDC_SAVE));
  EXPECT_EQ(ui.waitCursorDepth, 0);
  EXPECT_EQ(firmwareLabel, u"Radio Firmware: Not Connected");
}

TEST_F(ConnectTest, LinkAboveFifteenShowsFifteenAndCountsAsRead) {
  auto config = Radio("shrike");
  config.registers["wn"] = 0x1F;  // what the radio loads when it starts
  ports.Attach(u"COM1:", config);
  Open(u"COM1", u"115200");
  Connect();
  EXPECT_EQ(ui.Text(D, IDC_LINK), u"15");
  EXPECT_EQ(dlg->m_settings.readLink, 15);
  EXPECT_FALSE(dlg->HasUnsavedSettings());
}

TEST_F(ConnectTest, InternalRadioReportingBaseIsShownAsRemote) {
  auto config = Radio("shrike", 115200, true);
  config.registers["wb"] = 1;
  ports.Attach(u"COM3:", config);
  Open(u"COM3", u"115200");
  Connect();
  EXPECT_TRUE(dlg->m_settings.internalRadio);
  EXPECT_EQ(ui.Text(D, IDC_MODE), u"Remote");
  EXPECT_EQ(dlg->m_settings.readMode, 0);
  EXPECT_EQ(ui.waitCursorDepth, 0);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
}

TEST_F(ConnectTest, HandleProfileAt115200IsCoraxWithRateAndModeFixed) {
  auto& radio = ports.Attach(u"COM1:", Radio("corax"));
  Open(u"COM1", u"115200");
  Connect();
  EXPECT_EQ(ui.Text(D, IDC_DEVICE), u"Corax & Tanager");
  EXPECT_EQ(dlg->m_settings.readDevice, 3);
  EXPECT_FALSE(ui.Enabled(D, IDC_BAUDRATE));
  EXPECT_FALSE(ui.Enabled(D, IDC_MODE));
  EXPECT_EQ(ui.Text(D, IDC_MODE), u"Remote");
  EXPECT_EQ(Queries(radio), (Texts{"wb?", "wn?", "dx?", "pe?", "wu?", "pn?", "pr?"}));
}

TEST_F(ConnectTest, HandleProfileReadAt57600IsShrikeWithoutTheHandleQueries) {
  auto& radio = ports.Attach(u"COM1:", Radio("corax", 57600));
  Open(u"COM1", u"57600");
  Connect();
  EXPECT_EQ(ui.Text(D, IDC_DEVICE), u"Vireo B & Shrike");
  EXPECT_TRUE(ui.Enabled(D, IDC_BAUDRATE));
  EXPECT_TRUE(ui.Enabled(D, IDC_MODE));
  EXPECT_EQ(Queries(radio), (Texts{"wb?", "wn?", "dx?", "pe?"}));
}

TEST_F(ConnectTest, TransmitPowerIsQueriedOnlyInServiceMode) {
  auto config = Radio("shrike");
  config.registers["wp"] = 0;
  auto& radio = ports.Attach(u"COM1:", config);
  Open(u"COM1", u"115200", true);
  Connect();
  EXPECT_EQ(Queries(radio), (Texts{"wb?", "wn?", "dx?", "pe?", "wp?"}));
  EXPECT_EQ(dlg->m_settings.transmitPower, 0);
  EXPECT_TRUE(ui.Enabled(D, IDC_SERVICE));
}

TEST_F(ConnectTest, Model2400AnswersOnlyThreeQueries) {
  auto& radio = ports.Attach(u"COM1:", Radio("2400", 9600));
  Open(u"COM1", u"9600");
  Connect();
  EXPECT_EQ(Queries(radio), (Texts{"wb?", "wn?", "pe?"}));
  EXPECT_EQ(ui.Items(D, IDC_DEVICE), (std::vector<std::u16string>{u"Linnet & Pipit"}));
  EXPECT_EQ(ui.Text(D, IDC_DEVICE), u"Linnet & Pipit");
  EXPECT_EQ(dlg->m_settings.modelNumber, 2400);
}

TEST_F(ConnectTest, DisconnectAsksOnlyWhenSomethingChangedAndFollowsTheAnswer) {
  ports.Attach(u"COM1:", Radio("shrike"));
  Open(u"COM1", u"115200");
  Connect();
  ASSERT_TRUE(ui.Select(D, IDC_MODE, 1 - ui.Selection(D, IDC_MODE)));

  ui.AnswerNext(IDCANCEL);
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, u"Unsaved Settings");
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  EXPECT_TRUE(ports.IsOpen(u"COM1:"));

  ui.AnswerNext(IDNO);
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
  EXPECT_FALSE(ports.IsOpen(u"COM1:"));
  EXPECT_FALSE(dlg->m_settings.connected);
  EXPECT_EQ(LogLines().back(), "Button 'Disconnect' pressed.");

  // Connected again with nothing changed: no question.
  Connect();
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");

  // Yes saves (reported) and disconnects.
  Connect();
  ui.Select(D, IDC_LINK, 3);
  ui.AnswerNext(IDYES);
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  ASSERT_EQ(ui.boxes.size(), 4u);
  EXPECT_EQ(ui.boxes[3].caption, u"QELM Config");
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
  EXPECT_FALSE(ports.IsOpen(u"COM1:"));
}

}  // namespace

namespace {

struct FailureCase {
  const char* query;
  const char* logLine;
  const char16_t* caption;
  const char* preset;  // one whose reading gets as far as the query
  bool service;
};

class ReadingFailure : public ConnectTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ReadingFailure, StopsAtTheQueryWithItsLineAndBox) {
  const FailureCase& c = GetParam();
  auto config = Radio(c.preset);
  config.commandFaults[c.query] = sim::RadioFault::kNoPrompt;
  auto& radio = ports.Attach(u"COM1:", config);
  Open(u"COM1", u"115200", c.service);
  Connect();
  Texts log = LogLines();
  auto at = std::find(log.begin(), log.end(), c.logLine);
  ASSERT_NE(at, log.end());
  EXPECT_EQ(*(at - 1), "ERROR: RadioCommand error 2");
  EXPECT_EQ(*(at + 1), "ERROR: Settings could not be read.");
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, u"Error");
  EXPECT_EQ(ui.boxes[0].caption, c.caption);
  EXPECT_EQ(ui.boxes[0].Buttons(), platform::MB_OK);
  EXPECT_EQ(Queries(radio).back(), c.query);  // nothing was asked after it
  EXPECT_EQ(ui.waitCursorDepth, 0);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
  EXPECT_FALSE(ports.IsOpen(u"COM1:"));
}

INSTANTIATE_TEST_SUITE_P(
    EveryQuery, ReadingFailure,
    ::testing::Values(
        FailureCase{"wb?", "ERROR: Could not read 'Mode'.", u"Mode", "shrike", false},
        FailureCase{"wn?", "ERROR: Could not read 'Link number'.", u"Link number", "shrike", false},
        FailureCase{"dx?", "ERROR: Could not read 'Range'.", u"Range", "shrike", false},
        FailureCase{"pe?", "ERROR: Could not read 'Freq. band' (service).", u"Frequency band",
                    "shrike", false},
        FailureCase{"wu?", "ERROR: Point to Point direct mode.", u"Point to Point direct mode",
                    "corax", false},
        FailureCase{"pn?", "Max No. of remotes.", u"Max No. of remotes", "corax", false},
        FailureCase{"pr?", "No. of retries.", u"No. of retries", "corax", false},
        FailureCase{"wp?", "ERROR: Could not read 'Transmit power' (service).", u"Transmit power",
                    "shrike", true}),
    [](const auto& info) { return std::string(1, info.param.query[0]) + info.param.query[1]; });

}  // namespace
