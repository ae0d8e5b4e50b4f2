// The main dialog's connect and disconnect procedures. The procedure itself (the internal
// radio's attempts, the external radio's waits, the rate walk) is radio::ConnectRadio; the
// dialog gives it the waiting dialog and its button.
#include <string>

#include "radio/ConnectRadio.h"
#include "resources/resource.h"
#include "serial/CSerialPort.h"
#include "ui/CConfigDlg.h"

using namespace platform;

void CConfigDlg::NextBaudrate() {
  radio::NextBaudrate(*this);
}

void CConfigDlg::OnDetect() {
  LogLine(u"Button 'Connect' pressed.");
  radio::ConnectRadio(*this);
}

void CConfigDlg::ShowConnected() {
  SetDlgItemText(IDC_CONNECT, u"Disco&nnect");
}

bool CConfigDlg::AwaitExternalRadio(const std::u16string& rateText) {
  m_waitDlg.m_caption = u"Waiting for radio at " + rateText + u" bps...";
  return m_waitDlg.DoModal() == IDOK;
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
