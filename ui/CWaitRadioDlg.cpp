#include "ui/CWaitRadioDlg.h"

#include "platform/Clock.h"
#include "resources/resource.h"
#include "serial/CSerialPort.h"

CWaitRadioDlg::CWaitRadioDlg(platform::CDialog* parent) : CDialog(IDD_WAITRADIO, parent) {
  OnButtonClicked(IDC_WAIT_CANCEL, [this] { m_cancel = true; });
  OnTimerMessage([this](int id) { OnTimer(id); });
}

CWaitRadioDlg::~CWaitRadioDlg() = default;

bool CWaitRadioDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(m_caption);
  // Cleared here rather than when the wait begins, so that a Cancel in the first 200 ms counts.
  m_cancel = false;
  SetTimer(1, 200);
  return true;
}

void CWaitRadioDlg::OnTimer(int timerId) {
  if (timerId != 1 || waiting_) return;
  KillTimer(1);
  waiting_ = true;
  WaitForRadio();
  waiting_ = false;
}

void CWaitRadioDlg::WaitForRadio() {
  CSerialPort::Status status = CSerialPort::QueryStatus();
  status.errors = 0;  // what was there before the wait does not count
  bool discarded = false;
  for (;;) {
    if (m_cancel || status.errors != 0) break;
    platform::PumpOneMessage();
    platform::Sleep(100);
    status = CSerialPort::QueryStatus();
    if (status.inQueue == 0) continue;
    if (status.inQueue <= 2 && !discarded) {
      // One or two bytes are likely noise from plugging the cable; drop them once.
      CSerialPort::Purge(platform::PURGE_TXCLEAR | platform::PURGE_RXCLEAR);
      discarded = true;
      continue;
    }
    break;
  }
  EndDialog(m_cancel ? platform::IDCANCEL : platform::IDOK);
}
