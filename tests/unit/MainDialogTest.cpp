#include <filesystem>

#include "FakePorts.h"
#include "TestSupport.h"
#include "app/CConfigApp.h"
#include "platform/dialog/headless/HeadlessScope.h"
#include "platform/system/Registry.h"
#include "resources/resource.h"
#include "serial/CSerialPort.h"
#include "serial/RadioExchange.h"
#include "ui/CConfigDlg.h"

using namespace testing_support;
using platform::IDCANCEL;
using platform::IDNO;
using platform::IDYES;

namespace {

const char16_t kKey[] = u"Software\\Morva Fendral\\QELM Config Tool";
constexpr int D = IDD_QELMCONFIG_DIALOG;

class MainDialogTest : public ::testing::Test {
 protected:
  void StorePreference(const char16_t* name, const std::u16string& value) {
    platform::RegistryKey key;
    ASSERT_EQ(key.Create(kKey), 0);
    key.SetValue(name, platform::REG_SZ, value.c_str(),
                 static_cast<uint32_t>((value.size() + 1) * 2));
  }
  std::u16string StoredPreference(const char16_t* name) {
    platform::RegistryKey key;
    if (key.Open(kKey, platform::KEY_QUERY_VALUE) != 0) return u"<no key>";
    char16_t buf[300];
    uint32_t size = sizeof buf;
    if (key.QueryValue(name, buf, &size) != 0) return u"<no value>";
    return std::u16string(buf);
  }
  // Opens the main dialog as the application does, without its modal run.
  std::unique_ptr<CConfigDlg> Open(bool serviceMode = false) {
    auto dlg = std::make_unique<CConfigDlg>();
    dlg->m_settings.serviceMode = serviceMode;
    EXPECT_TRUE(dlg->Create());
    return dlg;
  }
  // Puts the dialog into the connected state with a reading's snapshot, as the connect
  // procedure leaves it.
  void Connect(CConfigDlg& dlg, int32_t model = 2410) {
    dlg.m_settings.modelNumber = model;
    dlg.FillDeviceList();
    dlg.m_settings.connected = true;
    ui.Window(D)->ComboSetSel(IDC_DEVICE, 2);
    ui.Window(D)->ComboSetSel(IDC_LINK, 7);
    ui.Window(D)->ComboSetSel(IDC_MODE, 1);
    auto& s = dlg.m_settings;
    s.deviceIndex = s.readDevice = 2;
    s.readLink = 7;
    s.modeIndex = s.readMode = 1;
    s.readBaudIndex = ui.Selection(D, IDC_BAUDRATE);
    s.band = s.readBand = 6;
    s.transmitPower = s.readPower = 1;
    s.settingsRead = true;
  }
  std::vector<std::string> LogLines() { return UnstampedLines(ReadFile(folder.LogPath())); }

  TempFolder folder;
  platform::HeadlessScope scope;
  platform::HeadlessBackend& ui = scope.ui;
  FakePorts ports;
  CConfigApp app;
};

TEST_F(MainDialogTest, FirstStartShowsDefaultsAndTheNotConnectedPicture) {
  auto dlg = Open();
  EXPECT_EQ(ui.Items(D, IDC_PORT), (std::vector<std::u16string>{u"COM1", u"COM2", u"COM3"}));
  EXPECT_EQ(
      ui.Items(D, IDC_BAUDRATE),
      (std::vector<std::u16string>{u"4800", u"9600", u"14400", u"19200", u"57600", u"115200"}));
  EXPECT_EQ(ui.Items(D, IDC_LINK).size(), 16u);
  EXPECT_EQ(ui.Items(D, IDC_LINK).back(), u"15");
  EXPECT_EQ(ui.Items(D, IDC_MODE), (std::vector<std::u16string>{u"Remote", u"Base"}));
  EXPECT_TRUE(ui.Items(D, IDC_DEVICE).empty());
  EXPECT_EQ(ui.Text(D, IDC_PORT), u"COM1");
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"115200");
  EXPECT_EQ(ui.Text(D, 0), u"TUVAR Config Tool ");

  for (int id : {IDC_PORT, IDC_BAUDRATE, IDC_CONNECT, IDC_ABOUT, IDC_HELPBUTTON, IDC_CLOSE})
    EXPECT_TRUE(ui.Enabled(D, id)) << id;
  for (int id : {IDC_DEVICE, IDC_DEVICE_LABEL, IDC_LINK, IDC_LINK_LABEL, IDC_MODE, IDC_MODE_LABEL,
                 IDC_SAVE, IDC_DEFAULT})
    EXPECT_FALSE(ui.Enabled(D, id)) << id;
  for (int id : {IDC_DEVICE, IDC_LINK, IDC_MODE}) EXPECT_EQ(ui.Selection(D, id), -1);
  EXPECT_FALSE(ui.Visible(D, IDC_SERVICE));
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
  EXPECT_EQ(ui.Window(D)->Icon(), IDR_MAINFRAME);
  EXPECT_EQ(ui.Window(D)->X(), 1);
  EXPECT_EQ(ui.Window(D)->Y(), 1);
  EXPECT_EQ(firmwareLabel, u"Radio Firmware: Not Connected");
}

TEST_F(MainDialogTest, StoredPortAndRateArePreselected) {
  StorePreference(u"Port", u"COM2");
  StorePreference(u"Baudrate", u"9600");
  auto dlg = Open();
  EXPECT_EQ(ui.Text(D, IDC_PORT), u"COM2");
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"9600");
  EXPECT_EQ(dlg->m_settings.portBaudText, u"9600");
}

TEST_F(MainDialogTest, PreferenceLongerThanTheReadBufferFallsBackToTheDefault) {
  StorePreference(u"Port", u"COM3");
  StorePreference(u"Baudrate", std::u16string(255, u'9'));  // 512 bytes with its zero
  auto dlg = Open();
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"115200");
  EXPECT_EQ(ui.Text(D, IDC_PORT), u"COM3");
}

TEST_F(MainDialogTest, PortsThatCannotBeOpenedAreNotListed) {
  ports.present.erase(u"COM2:");
  ports.busy.insert(u"COM1:");
  StorePreference(u"Port", u"COM1");
  StorePreference(u"Baudrate", u"19200");
  auto dlg = Open();
  EXPECT_EQ(ui.Items(D, IDC_PORT), (std::vector<std::u16string>{u"COM3"}));
  EXPECT_EQ(ui.Selection(D, IDC_PORT), -1);
  // Closing keeps the stored port instead of overwriting it with the empty text.
  ASSERT_TRUE(ui.Click(D, IDC_CLOSE));
  EXPECT_TRUE(dlg->HasEnded());
  EXPECT_EQ(StoredPreference(u"Port"), u"COM1");
  EXPECT_EQ(StoredPreference(u"Baudrate"), u"19200");
}

TEST_F(MainDialogTest, FillDeviceListOffersTheModelsEntries) {
  auto dlg = Open();
  dlg->m_settings.modelNumber = 2400;
  dlg->FillDeviceList();
  EXPECT_EQ(ui.Items(D, IDC_DEVICE), (std::vector<std::u16string>{u"Linnet & Pipit"}));
  dlg->m_settings.modelNumber = 2411;  // any other number gets the newer list
  dlg->FillDeviceList();
  EXPECT_EQ(ui.Items(D, IDC_DEVICE),
            (std::vector<std::u16string>{u"Vireo A & Tanager", u"Vireo B & Tanager",
                                         u"Vireo B & Shrike", u"Corax & Tanager"}));
  EXPECT_EQ(ui.Selection(D, IDC_DEVICE), -1);
  EXPECT_FALSE(ui.Enabled(D, IDC_PORT));
  for (int id : {IDC_DEVICE, IDC_LINK, IDC_MODE, IDC_SAVE, IDC_DEFAULT, IDC_BAUDRATE})
    EXPECT_TRUE(ui.Enabled(D, id)) << id;
}

TEST_F(MainDialogTest, HandleEntryFixesRateLinkAndModeAndOtherEntriesReleaseThem) {
  auto dlg = Open();
  Connect(*dlg);
  ui.Window(D)->ComboSetSel(IDC_BAUDRATE, 3);
  ASSERT_TRUE(ui.Select(D, IDC_DEVICE, 3));
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"115200");
  EXPECT_FALSE(ui.Enabled(D, IDC_BAUDRATE));
  EXPECT_EQ(ui.Text(D, IDC_LINK), u"0");
  EXPECT_EQ(ui.Text(D, IDC_MODE), u"Remote");
  EXPECT_FALSE(ui.Enabled(D, IDC_MODE));
  EXPECT_FALSE(dlg->m_settings.usProfile);
  EXPECT_EQ(LogLines().back(), "Change Mode: Base Device: Corax & Tanager");

  ASSERT_TRUE(ui.Select(D, IDC_DEVICE, 1));
  EXPECT_TRUE(ui.Enabled(D, IDC_BAUDRATE));
  EXPECT_TRUE(ui.Enabled(D, IDC_MODE));
  EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), u"115200");  // selections stay as they were
  EXPECT_EQ(ui.Text(D, IDC_LINK), u"0");
  EXPECT_TRUE(dlg->m_settings.usProfile);
  EXPECT_EQ(LogLines().back(), "Change Mode: Remote Device: Vireo B & Tanager");
}

TEST_F(MainDialogTest, InternalRadioForcesRemoteOnEverySelectionChange) {
  auto dlg = Open();
  Connect(*dlg);
  dlg->m_settings.internalRadio = true;
  ASSERT_TRUE(ui.Select(D, IDC_MODE, 1));
  EXPECT_EQ(ui.Text(D, IDC_MODE), u"Remote");
  EXPECT_EQ(dlg->m_settings.modeIndex, 0);
}

TEST_F(MainDialogTest, UnsavedTestSeesEachChangedField) {
  auto dlg = Open();
  Connect(*dlg);
  EXPECT_FALSE(dlg->HasUnsavedSettings());
  auto window = ui.Window(D);

  window->ComboSetSel(IDC_LINK, 8);
  EXPECT_TRUE(dlg->HasUnsavedSettings());
  window->ComboSetSel(IDC_LINK, 7);

  ui.Select(D, IDC_BAUDRATE, 2);
  EXPECT_TRUE(dlg->HasUnsavedSettings());
  ui.Select(D, IDC_BAUDRATE, dlg->m_settings.readBaudIndex);
  EXPECT_FALSE(dlg->HasUnsavedSettings());

  ui.Select(D, IDC_MODE, 0);
  EXPECT_TRUE(dlg->HasUnsavedSettings());
  ui.Select(D, IDC_MODE, 1);

  ui.Select(D, IDC_DEVICE, 0);
  EXPECT_TRUE(dlg->HasUnsavedSettings());
  ui.Select(D, IDC_DEVICE, 2);
  EXPECT_FALSE(dlg->HasUnsavedSettings());

  // Band and power count only in service mode.
  dlg->m_settings.band = 0;
  dlg->m_settings.transmitPower = 0;
  EXPECT_FALSE(dlg->HasUnsavedSettings());
  dlg->m_settings.serviceMode = true;
  EXPECT_TRUE(dlg->HasUnsavedSettings());
  dlg->m_settings.band = 6;
  EXPECT_TRUE(dlg->HasUnsavedSettings());
  dlg->m_settings.transmitPower = 1;
  EXPECT_FALSE(dlg->HasUnsavedSettings());

  // Nothing is unsaved unless the settings were read and the radio is connected.
  window->ComboSetSel(IDC_LINK, 8);
  dlg->m_settings.connected = false;
  EXPECT_FALSE(dlg->HasUnsavedSettings());
  dlg->m_settings.connected = true;
  dlg->m_settings.settingsRead = false;
  EXPECT_FALSE(dlg->HasUnsavedSettings());
}

TEST_F(MainDialogTest, CloseWithUnsavedChangesAsksAndFollowsTheAnswer) {
  const std::u16string question =
      u"You have changed settings that have not been saved to the radio. Do you want to save "
      u"them now?";
  auto dlg = Open();
  Connect(*dlg);
  ui.Window(D)->ComboSetSel(IDC_LINK, 9);
  ui.Window(D)->ComboSetSel(IDC_PORT, 1);

  ui.AnswerNext(IDCANCEL);
  ASSERT_TRUE(ui.Click(D, IDC_CLOSE));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, question);
  EXPECT_EQ(ui.boxes[0].caption, u"Unsaved Settings");
  EXPECT_EQ(ui.boxes[0].Buttons(), platform::MB_YESNOCANCEL);
  EXPECT_EQ(ui.boxes[0].IconFlags(), platform::MB_ICONQUESTION);
  EXPECT_FALSE(dlg->HasEnded());
  EXPECT_TRUE(dlg->m_settings.connected);
  EXPECT_EQ(StoredPreference(u"Port"), u"COM2");  // stored before the question

  ui.AnswerNext(IDNO);
  ASSERT_TRUE(ui.Click(D, IDC_CLOSE));
  EXPECT_EQ(ui.boxes.size(), 2u);
  EXPECT_TRUE(dlg->HasEnded());
  EXPECT_TRUE(dlg->m_settings.connected);  // No changes nothing but the port
  EXPECT_FALSE(CSerialPort::IsOpen());
}

TEST_F(MainDialogTest, CloseAnsweredYesSavesReportsAndEnds) {
  auto dlg = Open();
  Connect(*dlg);
  ui.Select(D, IDC_MODE, 0);
  ui.AnswerNext(IDYES);
  ASSERT_TRUE(ui.Ok(D));
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].caption, u"QELM Config");
  EXPECT_EQ(ui.boxes[1].IconFlags(), 0u);
  EXPECT_EQ(ui.boxes[1].text, u"Error. Settings not saved.");
  EXPECT_TRUE(dlg->HasEnded());
  EXPECT_FALSE(dlg->m_settings.connected);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
  auto lines = LogLines();
  // This connection was made without a port, so the store finds none open.
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "Title bar button 'Ok' pressed.");
  EXPECT_EQ(lines[lines.size() - 2], "OnSave");
  EXPECT_EQ(lines.back(), "ERROR: SaveSettings RC_PORT_NOT_OPEN.");
}

TEST_F(MainDialogTest, CloseWithoutChangesAsksNothing) {
  auto dlg = Open();
  Connect(*dlg);
  ASSERT_TRUE(ui.Cancel(D));
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_TRUE(dlg->HasEnded());
  EXPECT_EQ(LogLines().back(), "Title bar button 'X' pressed.");
}

TEST_F(MainDialogTest, AboutServiceAndHelpButtonsLogTheirLines) {
  auto dlg = Open(true);
  Connect(*dlg);
  ui.Schedule(0, [&] { ui.Ok(IDD_ABOUTBOX); });
  ASSERT_TRUE(ui.Click(D, IDC_ABOUT));
  ui.Schedule(0, [&] { ui.Cancel(IDD_SERVICE); });
  ASSERT_TRUE(ui.Click(D, IDC_SERVICE));
  ASSERT_TRUE(ui.Click(D, IDC_HELPBUTTON));  // writes nothing
  EXPECT_FALSE(ui.stuck);
  auto lines = LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{"Button 'About' pressed.", "Button 'Service' pressed.",
                                      "Return from 'Service' dialog."}));
}

TEST_F(MainDialogTest, WholeRunLeavesTheLogAndThePreferences) {
  ui.Schedule(10, [&] {
    ui.Select(D, IDC_BAUDRATE, 3);
    ui.Click(D, IDC_CLOSE);
  });
  app.m_lpCmdLine = u"/service";
  app.InitInstance();
  EXPECT_FALSE(ui.stuck);
  auto lines = Lines(ReadFile(folder.LogPath()));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], std::string(61, '-'));
  EXPECT_EQ(Unstamped(lines[2]), "Application started");
  EXPECT_EQ(Unstamped(lines[3]), "Change Mode:  Device: ");
  EXPECT_EQ(Unstamped(lines[4]), "Button 'Close' pressed.");
  EXPECT_EQ(Unstamped(lines[5]), "Application closed");
  EXPECT_EQ(StoredPreference(u"Port"), u"COM1");
  EXPECT_EQ(StoredPreference(u"Baudrate"), u"19200");
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::exists(folder.PreferencesPath()));
#endif
}

TEST(CommandLine, OnlyTheWholeTextSlashServiceInAnyCaseCounts) {
  EXPECT_TRUE(CConfigApp::IsServiceCommandLine(u"/Service"));
  EXPECT_TRUE(CConfigApp::IsServiceCommandLine(u"/SERVICE"));
  EXPECT_TRUE(CConfigApp::IsServiceCommandLine(u"/service"));
  EXPECT_FALSE(CConfigApp::IsServiceCommandLine(u"/Service "));
  EXPECT_FALSE(CConfigApp::IsServiceCommandLine(u"-Service"));
  EXPECT_FALSE(CConfigApp::IsServiceCommandLine(u"/Service x"));
  EXPECT_FALSE(CConfigApp::IsServiceCommandLine(u""));
  char a0[] = "qelm-config", a1[] = "/Service", a2[] = "x", a3[] = "/Service ";
  char* two[] = {a0, a1, a2};
  char* blank[] = {a0, a3};
  EXPECT_FALSE(CConfigApp::IsServiceCommandLine(platform::CommandLineText(3, two)));
  EXPECT_FALSE(CConfigApp::IsServiceCommandLine(platform::CommandLineText(2, blank)));
  EXPECT_TRUE(CConfigApp::IsServiceCommandLine(platform::CommandLineText(2, two)));
  EXPECT_FALSE(CConfigApp::IsServiceCommandLine(platform::CommandLineText(1, two)));
}

}  // namespace
