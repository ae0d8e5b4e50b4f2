#pragma once
// The program's main window: port and rate choice and the Connect button at the top, the
// connected radio's settings (device, link, mode) in the frame below, and the Save, Default,
// About, Help and Close buttons. It owns the log and the settings record, remembers the port and
// rate in the preferences store across runs, keeps the controls enabled as the connection state
// allows, and never lets changed settings that were not stored in the radio be lost silently:
// disconnecting and closing ask first.
//
// Nothing here reports failure upwards: unreadable or unwritable preferences fall back to the
// defaults or are skipped, a log that cannot be written is ignored, and every radio failure is
// logged and shown by the procedures it happens in.

#include <string>

#include "log/CLogFile.h"
#include "platform/dialog/CDialog.h"
#include "radio/ConnectView.h"
#include "radio/RadioSettings.h"
#include "serial/SerialHost.h"
#include "ui/CAboutDlg.h"
#include "ui/CServiceDlg.h"
#include "ui/CWaitRadioDlg.h"

class CConfigDlg : public platform::CDialog, public radio::ConnectView {
 public:
  CConfigDlg();
  ~CConfigDlg() override;

  // The log comes first of all members, so that it exists before anything can log.
  CLogFile m_log;
  RadioSettings m_settings;

  // Exchange between the combo boxes and the record, by text.
  void TakeControls() override;
  void ShowRecord() override;

  void FillDeviceList() override;
  void ClearRadioSettings() override;
  bool HasUnsavedSettings();
  int AskUnsavedSettings();  // IDYES, IDNO or IDCANCEL
  void OnSave();
  bool PrepareClose();  // true: leave
  void NextBaudrate();
  void Disconnect() override;

  void OnDetect();
  void OnDisconnectRequest();
  void OnClose();
  void OnTitleOk();
  void OnTitleX();
  void OnDefault();
  void OnService();
  void OnAbout();
  void OnHelp();
  // The help file beside a program file: its folder and "/QELM_Help.htm"; empty when the
  // path has no folder.
  static std::u16string HelpFilePath(const std::u16string& programFile);

  // SerialHost and SettingsView
  std::u16string PortName() override { return m_settings.portName; }
  void LogLine(const std::u16string& text) override { m_log.LogLine(text); }
  int ShowMessage(const std::u16string& text, const std::u16string& caption,
                  unsigned type) override {
    return MessageBox(text, caption, type);
  }
  RadioSettings& Settings() override { return m_settings; }
  int BaudSelection() override;
  int ModeSelection() override;
  int DeviceSelection() override;
  void SelectBaud(int index) override;
  void SelectMode(int index) override;
  void SelectDevice(int index) override;
  void SelectLink(int index) override;
  void EnableBaud(bool enable) override;
  void EnableMode(bool enable) override;
  void Beep() override;
  void BeginWait() override;
  void EndWait() override;
  void ShowConnected() override;
  bool AwaitExternalRadio(const std::u16string& rateText) override;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(bool save) override;
  void OnOK() override { OnTitleOk(); }
  void OnCancel() override { OnTitleX(); }

 private:
  void LoadPreferences();
  void StorePreferences();
  void FillPortList();
  void OnSelectionChange();
  void EndDialogAfterLeave();

  CWaitRadioDlg m_waitDlg;
  CAboutDlg m_aboutDlg;
  CServiceDlg m_serviceDlg;
};
