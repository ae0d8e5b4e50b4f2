#include "ui/CConfigDlg.h"

#include <string>

#include "platform/devices/SerialDevice.h"
#include "platform/dialog/CWinApp.h"
#include "platform/system/Registry.h"
#include "radio/RadioTables.h"
#include "radio/ResetToDefaults.h"
#include "radio/SelectionRule.h"
#include "radio/StoreSettings.h"
#include "resources/resource.h"
#include "serial/CSerialPort.h"
#include "serial/RadioExchange.h"

using namespace platform;

namespace {

const char16_t kPreferencesKey[] = u"Software\\Morva Fendral\\QELM Config Tool";
const char16_t kUnsavedQuestion[] =
    u"You have changed settings that have not been saved to the radio. Do you want to save "
    u"them now?";

// The five combo boxes the record is exchanged with, and the record's text for each.
struct Exchange {
  int id;
  std::u16string RadioSettings::*text;
};
const Exchange kExchange[] = {{IDC_PORT, &RadioSettings::portName},
                              {IDC_BAUDRATE, &RadioSettings::baudText},
                              {IDC_DEVICE, &RadioSettings::deviceText},
                              {IDC_LINK, &RadioSettings::linkText},
                              {IDC_MODE, &RadioSettings::modeText}};

std::u16string ReadPreference(RegistryKey& key, const char16_t* name, const char16_t* fallback) {
  char16_t buffer[255];
  uint32_t size = sizeof buffer;
  if (key.QueryValue(name, buffer, &size) != ERROR_SUCCESS) return fallback;
  // The value is text up to its terminating zero, whatever else it holds.
  std::u16string text(buffer, size / sizeof(char16_t));
  auto zero = text.find(u'\0');
  if (zero != std::u16string::npos) text.resize(zero);
  return text;
}

void WritePreference(RegistryKey& key, const char16_t* name, const std::u16string& value) {
  key.SetValue(name, REG_SZ, value.c_str(),
               static_cast<uint32_t>((value.size() + 1) * sizeof(char16_t)));
}

}  // namespace

CConfigDlg::CConfigDlg()
    : CDialog(IDD_QELMCONFIG_DIALOG, nullptr),
      m_log(u"TUVAR_TOOL_Log.txt", 500),
      m_waitDlg(this),
      m_aboutDlg(this),
      m_serviceDlg(this) {
  CSerialPort::Attach(this);
  OnButtonClicked(IDC_CONNECT, [this] {
    if (m_settings.connected)
      OnDisconnectRequest();
    else
      OnDetect();
  });
  OnButtonClicked(IDC_SAVE, [this] {
    LogLine(u"Button 'Save' pressed.");
    OnSave();
  });
  OnButtonClicked(IDC_DEFAULT, [this] { OnDefault(); });
  OnButtonClicked(IDC_CLOSE, [this] { OnClose(); });
  OnButtonClicked(IDC_SERVICE, [this] { OnService(); });
  OnButtonClicked(IDC_ABOUT, [this] { OnAbout(); });
  OnButtonClicked(IDC_HELPBUTTON, [this] { OnHelp(); });
  OnHelpRequest([this] {
    OnHelp();
    return false;
  });
  for (int id : {IDC_BAUDRATE, IDC_MODE, IDC_DEVICE})
    OnSelChange(id, [this] { OnSelectionChange(); });
}

CConfigDlg::~CConfigDlg() {
  // The port never outlives the dialog it serves.
  if (CSerialPort::Host() == this) {
    CSerialPort::ClosePort();
    CSerialPort::Attach(nullptr);
  }
}

void CConfigDlg::DoDataExchange(bool save) {
  if (save)
    TakeControls();
  else
    ShowRecord();
}

void CConfigDlg::TakeControls() {
  for (const auto& e : kExchange) m_settings.*e.text = GetDlgItemText(e.id);
}

void CConfigDlg::ShowRecord() {
  for (const auto& e : kExchange) {
    const std::u16string& text = m_settings.*e.text;
    if (!text.empty()) ComboSelectString(e.id, -1, text);
  }
}

bool CConfigDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(IDR_MAINFRAME);
  MoveWindowTo(1, 1);
  LoadPreferences();
  FillPortList();

  ComboResetContent(IDC_BAUDRATE);
  for (auto rate : radio::kBaudRates) ComboAddString(IDC_BAUDRATE, std::u16string(rate));
  m_settings.defaultBaudIndex = radio::kDefaultBaudIndex;
  ComboResetContent(IDC_LINK);
  for (int link = 0; link < radio::kLinkCount; ++link) {
    std::string digits = std::to_string(link);
    ComboAddString(IDC_LINK, std::u16string(digits.begin(), digits.end()));
  }
  ComboResetContent(IDC_MODE);
  for (auto mode : radio::kModes) ComboAddString(IDC_MODE, std::u16string(mode));

  m_settings.modelNumber = radio::kModel2410;
  m_settings.portBaudText = m_settings.baudText;
  m_settings.settingsRead = false;
  m_settings.connected = false;
  m_settings.readBaudIndex = m_settings.readLink = m_settings.readMode = -1;
  m_settings.readDevice = -1;

  if (m_settings.serviceMode) {
    ShowControl(IDC_SERVICE, SW_SHOWNORMAL);
    EnableControl(IDC_SERVICE, false);
  } else {
    ShowControl(IDC_SERVICE, SW_HIDE);
  }
  ClearRadioSettings();
  return true;
}

void CConfigDlg::LoadPreferences() {
  RegistryKey key;
  if (key.Open(kPreferencesKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) {
    m_settings.portName = u"COM1";
    m_settings.baudText = u"115200";
    return;
  }
  m_settings.baudText = ReadPreference(key, u"Baudrate", u"115200");
  m_settings.portName = ReadPreference(key, u"Port", u"COM1");
  key.Close();
}

void CConfigDlg::StorePreferences() {
  RegistryKey key;
  if (key.Create(kPreferencesKey) != ERROR_SUCCESS) return;
  // A port that was briefly unavailable at start leaves the Port combo empty; that must not
  // wipe the port the user chose before.
  if (!m_settings.portName.empty()) WritePreference(key, u"Port", m_settings.portName);
  WritePreference(key, u"Baudrate", m_settings.baudText);
  key.Close();
}

void CConfigDlg::FillPortList() {
  ComboResetContent(IDC_PORT);
  for (int n = 1; n <= 3; ++n) {
    std::u16string name = u"COM" + std::u16string(1, static_cast<char16_t>(u'0' + n));
    // A local device is opened shared with nobody, so a port another program holds is not
    // listed, and closed again at once; a network port and a console that was named are
    // listed without being opened, so that nothing here waits for the network.
    if (CurrentSerialProvider().Listable(name + u":")) ComboAddString(IDC_PORT, name);
  }
}

void CConfigDlg::FillDeviceList() {
  EnableControl(IDC_PORT, false);
  EnableControl(IDC_DEVICE, true);
  EnableControl(IDC_DEVICE_LABEL, true);
  ComboResetContent(IDC_DEVICE);
  for (const auto& entry : radio::DeviceList(m_settings.modelNumber))
    ComboAddString(IDC_DEVICE, std::u16string(entry.text));
  m_settings.deviceIndex = -1;
  ComboSetCurSel(IDC_DEVICE, -1);
  for (int id : {IDC_LINK, IDC_LINK_LABEL, IDC_MODE_LABEL, IDC_MODE, IDC_SAVE, IDC_DEFAULT})
    EnableControl(id, true);
  m_settings.readBaudIndex = m_settings.readLink = m_settings.readMode = -1;
  if (m_settings.serviceMode) EnableControl(IDC_SERVICE, true);
  ShowRecord();
}

void CConfigDlg::ClearRadioSettings() {
  m_settings.deviceText.clear();
  m_settings.deviceIndex = -1;
  ComboSetCurSel(IDC_DEVICE, -1);
  EnableControl(IDC_DEVICE, false);
  EnableControl(IDC_DEVICE_LABEL, false);

  ComboSetCurSel(IDC_LINK, -1);
  m_settings.linkText.clear();
  EnableControl(IDC_LINK, false);
  EnableControl(IDC_LINK_LABEL, false);

  ComboSetCurSel(IDC_MODE, -1);
  m_settings.modeText.clear();
  m_settings.modeIndex = -1;
  for (int id : {IDC_MODE, IDC_MODE_LABEL, IDC_SAVE, IDC_DEFAULT}) EnableControl(id, false);

  m_settings.bannerText.clear();
  EnableControl(IDC_PORT, true);
  EnableControl(IDC_SERVICE, false);
  m_settings.usProfile = false;

  firmwareLabel = kFirmwareNotConnected;
  m_settings.firmwareVersion = -1.0;

  EnableControl(IDC_BAUDRATE, true);
  ShowRecord();
}

void CConfigDlg::OnSelectionChange() {
  radio::ApplySelectionChange(*this);
}

bool CConfigDlg::HasUnsavedSettings() {
  TakeControls();
  const RadioSettings& s = m_settings;
  if (!s.settingsRead || !s.connected) return false;
  return ComboGetCurSel(IDC_BAUDRATE) != s.readBaudIndex ||
         ComboGetCurSel(IDC_LINK) != s.readLink || s.readMode != s.modeIndex ||
         s.readDevice != s.deviceIndex ||
         (s.serviceMode && (s.readBand != s.band || s.readPower != s.transmitPower));
}

int CConfigDlg::AskUnsavedSettings() {
  TakeControls();
  if (!HasUnsavedSettings()) return IDNO;
  return MessageBox(kUnsavedQuestion, u"Unsaved Settings", MB_YESNOCANCEL | MB_ICONQUESTION);
}

void CConfigDlg::OnSave() {
  LogLine(u"OnSave");
  int result = radio::SaveSettings(*this);
  MessageBox(result == 0 ? u"Settings saved." : u"Error. Settings not saved.", u"QELM Config",
             MB_OK);
  SetDlgItemText(IDC_CONNECT, u"Co&nnect");
  m_settings.connected = false;
  ClearRadioSettings();
  CSerialPort::ClosePort();
}

bool CConfigDlg::PrepareClose() {
  TakeControls();
  StorePreferences();
  switch (AskUnsavedSettings()) {
    case IDCANCEL:
      return false;
    case IDYES:
      OnSave();
      return true;
    default:
      CSerialPort::ClosePort();
      return true;
  }
}

void CConfigDlg::EndDialogAfterLeave() {
  TakeControls();
  EndDialog(IDOK);
}

void CConfigDlg::OnClose() {
  LogLine(u"Button 'Close' pressed.");
  if (PrepareClose()) EndDialogAfterLeave();
}

void CConfigDlg::OnTitleOk() {
  LogLine(u"Title bar button 'Ok' pressed.");
  if (PrepareClose()) EndDialogAfterLeave();
}

void CConfigDlg::OnTitleX() {
  LogLine(u"Title bar button 'X' pressed.");
  if (PrepareClose()) EndDialogAfterLeave();
}

void CConfigDlg::OnDefault() {
  LogLine(u"Button 'Default' pressed.");
  // A declined reset leaves everything as it was: the connection, the port and the controls.
  if (radio::ResetToDefaults(*this) == radio::ResetOutcome::kDeclined) return;
  // Stores the preferences, which now hold the radio's new rate; the tool is disconnected
  // already, so nothing is asked.
  PrepareClose();
}

int CConfigDlg::BaudSelection() {
  return ComboGetCurSel(IDC_BAUDRATE);
}
int CConfigDlg::ModeSelection() {
  return ComboGetCurSel(IDC_MODE);
}
int CConfigDlg::DeviceSelection() {
  return ComboGetCurSel(IDC_DEVICE);
}
void CConfigDlg::SelectLink(int index) {
  ComboSetCurSel(IDC_LINK, index);
}
void CConfigDlg::SelectBaud(int index) {
  ComboSetCurSel(IDC_BAUDRATE, index);
}
void CConfigDlg::SelectMode(int index) {
  ComboSetCurSel(IDC_MODE, index);
}
void CConfigDlg::SelectDevice(int index) {
  ComboSetCurSel(IDC_DEVICE, index);
}
void CConfigDlg::EnableBaud(bool enable) {
  EnableControl(IDC_BAUDRATE, enable);
}
void CConfigDlg::EnableMode(bool enable) {
  EnableControl(IDC_MODE, enable);
}
void CConfigDlg::Beep() {
  MessageBeep(MB_OK);
}
void CConfigDlg::BeginWait() {
  BeginWaitCursor();
}
void CConfigDlg::EndWait() {
  EndWaitCursor();
}
