#pragma once
// The service settings dialog: a technician's choice of the radio's frequency band and
// transmit power, offered only in service mode while a radio is connected. It sends nothing to
// the radio; OK writes the choice into the main dialog's settings record, where the next Save
// stores it and the unsaved-changes test sees it. Cancel, Escape and the close button change
// nothing. The help request (F1) opens the help file as the main dialog's Help button does and
// leaves this dialog open.
//
// The band entries stand for values that depend on the radio's model; a transmit power read
// from the radio that neither entry stands for leaves the list without a selection, and OK then
// keeps that value rather than storing the list's "no selection". Opened by anything but the
// main dialog, the dialog shows its lists and changes nothing.

#include "platform/dialog/CDialog.h"

class CConfigDlg;

class CServiceDlg : public platform::CDialog {
 public:
  explicit CServiceDlg(platform::CDialog* parent);
  ~CServiceDlg() override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  // The main dialog, found through the parent when the dialog opens.
  CConfigDlg* main_ = nullptr;
};
