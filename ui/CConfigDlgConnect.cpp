// The main dialog's connect and disconnect procedures: finding the radio on the chosen port
// (the controller's internal radio on "COM3", tried by itself; an external radio on any other
// port, whose cable the user reconnects while the waiting dialog watches the line), trying the
// other serial rates when no banner comes, then reading the settings.
#include <string>

#include "platform/CWinApp.h"
#include "platform/Clock.h"
#include "radio/RadioTables.h"
#include "radio/ReadSettings.h"
#include "resources/resource.h"
#include "serial/CSerialPort.h"
#include "ui/CConfigDlg.h"

using namespace platform;

namespace {

constexpr int kInternalAttempts = 35;
constexpr int kOpenFailuresAllowed = 4;  // the next one ends the procedure

}  // namespace

void CConfigDlg::NextBaudrate() {
  int next = ComboGetCurSel(IDC_BAUDRATE) + 1;
  if (next > radio::kDefaultBaudIndex) next = 0;
  ComboSetCurSel(IDC_BAUDRATE, next);
  m_settings.baudText = m_settings.portBaudText = ComboGetItem(IDC_BAUDRATE, next);
}

// Counts one failed opening; true (after the log line and the message) when it was the one
// that ends the procedure.
bool CConfigDlg::CountFailedOpening(int& failedOpenings) {
  CSerialPort::ClosePort();
  if (++failedOpenings <= kOpenFailuresAllowed) return false;
  LogLine(u"ERROR: Cannot open port. OnDetect returns.");
  MessageBox(u"Cannot open port.", u"Error", MB_OK);
  m_settings.connected = false;
  return true;
}

void CConfigDlg::OnDetect() {
  LogLine(u"Button 'Connect' pressed.");
  TakeControls();
  m_settings.portBaudText = m_settings.baudText;
  int bannerResult = 1;
  m_settings.internalRadio = false;
  if (m_settings.portName == u"COM3")
    InternalRadioAttempts(bannerResult);
  else
    ExternalRadioAttempts(bannerResult);
  if (bannerResult != 0) return;

  FillDeviceList();
  m_settings.connected = true;
  if (radio::ReadSettings(*this) != 0) {
    ClearRadioSettings();
    CSerialPort::ClosePort();
    m_settings.connected = false;
    LogLine(u"ERROR: Settings could not be read.");
    MessageBox(u"Settings could not be read.", u"Error", MB_OK);
    return;
  }
  SetDlgItemText(IDC_CONNECT, u"Disco&nnect");
}

void CConfigDlg::InternalRadioAttempts(int& bannerResult) {
  int failedOpenings = 0;
  for (int attempt = 0; attempt < kInternalAttempts;) {
    BeginWaitCursor();
    if (CSerialPort::OpenPort(m_settings.portBaudText, false) != RC_OK) {
      if (CountFailedOpening(failedOpenings)) {
        EndWaitCursor();
        return;
      }
      LogLine(u"ERROR: Could not open port: " + m_settings.portName + u" at " +
              m_settings.baudText);
    } else {
      LogLine(u"Port " + m_settings.portName + u" opened at " + m_settings.baudText);
      CSerialPort::Purge(CSerialPort::kPurgeAll);
      CSerialPort::QueryStatus();
      Sleep(100);
      bannerResult = radio::ReadBanner(*this);
      if (bannerResult == 0) {
        m_settings.internalRadio = true;
        EndWaitCursor();
        return;
      }
      CSerialPort::ClosePort();
      LogLine(u"Could not read banner, port closed.");
    }
    NextBaudrate();
    EndWaitCursor();
    ++attempt;
  }
  LogLine(u"Could not connect to the internal radio.");
  MessageBox(u"Could not connect to the internal radio.", AfxAppName(), MB_OK | MB_ICONSTOP);
}

void CConfigDlg::ExternalRadioAttempts(int& bannerResult) {
  int failedOpenings = 0;
  for (;;) {
    if (CSerialPort::OpenPort(m_settings.portBaudText, false) != RC_OK) {
      if (CountFailedOpening(failedOpenings)) return;
      LogLine(u"ERROR: Could not open port: " + m_settings.portName);
      NextBaudrate();
      continue;
    }
    LogLine(u"Port " + m_settings.portName + u" opened at " + m_settings.baudText);
    m_waitDlg.m_caption = u"Waiting for radio at " + m_settings.portBaudText + u" bps...";
    if (m_waitDlg.DoModal() != IDOK) {
      LogLine(u"Tentative connection cancelled.");
      // Nobody is waiting for the radio any more; do not hold the port until the next open.
      CSerialPort::ClosePort();
      return;
    }
    bannerResult = radio::ReadBanner(*this);
    if (bannerResult == 0) return;
    CSerialPort::ClosePort();
    LogLine(u"Could't read banner, port closed.");
    NextBaudrate();
  }
}

void CConfigDlg::OnDisconnectRequest() {
  LogLine(u"Button 'Disconnect' pressed.");
  switch (AskUnsavedSettings()) {
    case IDYES:
      OnSave();
      Disconnect();
      break;
    case IDNO:
      Disconnect();
      break;
    default:
      break;
  }
}

void CConfigDlg::Disconnect() {
  ClearRadioSettings();
  SetDlgItemText(IDC_CONNECT, u"Co&nnect");
  CSerialPort::ClosePort();
  m_settings.connected = false;
}
