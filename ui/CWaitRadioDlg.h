#pragma once
// The small dialog that asks the user to disconnect and reconnect the external radio's cable
// and waits until the radio's first bytes arrive on the open port. It answers IDOK when the
// radio seems to have started (three or more bytes, or any byte after one discard of one or
// two stray bytes, or a line error) and IDCANCEL when the user gave up. While it waits it
// polls the port every 100 ms and dispatches one waiting message per poll, so that its Cancel
// button works.

#include <string>

#include "platform/dialog/CDialog.h"

class CWaitRadioDlg : public platform::CDialog {
 public:
  explicit CWaitRadioDlg(platform::CDialog* parent);
  ~CWaitRadioDlg() override;

  std::u16string m_caption;  // set before each showing
  bool m_cancel = false;

 protected:
  bool OnInitDialog() override;
  // The window has no close button; Escape acts as its Cancel button.
  void OnCancel() override { m_cancel = true; }
  // Only the wait decides how the dialog ends: the OK command (Enter away from the Cancel
  // button) must neither end nor hide it while the port is being watched.
  void OnOK() override {}

 private:
  void OnTimer(int timerId);
  void WaitForRadio();
  bool waiting_ = false;
};
