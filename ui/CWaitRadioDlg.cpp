#include "ui/CWaitRadioDlg.h"

#include "radio/RadioStartWatch.h"
#include "resources/resource.h"

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
  bool started =
      radio::WatchForRadioStart([this] { return m_cancel; }, [] { platform::PumpOneMessage(); });
  EndDialog(started ? platform::IDOK : platform::IDCANCEL);
}
