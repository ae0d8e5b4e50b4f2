#pragma once
// A dialog for the Qt backend's tests: any template, with a handler for every push button and
// drop-down list of it, recording what reached the dialog (clicks, selection changes,
// timers, help, OK and cancel commands) so that a test can tell whether a user action
// arrived where it should. OK and cancel only count unless the test lets them end the dialog.
// Without button handlers, clicks of IDOK and IDCANCEL fall through to OnOK and OnCancel.

#include <functional>
#include <vector>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/qt/QtDialogWindow.h"

class DialogProbe : public platform::CDialog {
 public:
  explicit DialogProbe(int templateId, CDialog* parent = nullptr, bool handleButtons = true)
      : CDialog(templateId, parent) {
    if (const platform::DialogTemplate* tpl = platform::FindDialogTemplate(templateId)) {
      for (const platform::ControlTemplate& c : tpl->controls) {
        const int id = c.id;
        if (c.kind == platform::ControlKind::ComboBox)
          OnSelChange(id, [this, id] { selChanges.push_back(id); });
        else if (handleButtons && (c.kind == platform::ControlKind::PushButton ||
                                   c.kind == platform::ControlKind::DefPushButton))
          OnButtonClicked(id, [this, id] { clicks.push_back(id); });
      }
    }
    OnTimerMessage([this](int timerId) {
      timers.push_back(timerId);
      if (onTimer) onTimer(timerId);
    });
    OnHelpRequest([this] {
      ++helps;
      return true;
    });
  }

  platform::QtDialogWindow* QtWindow() const {
    return dynamic_cast<platform::QtDialogWindow*>(Window());
  }
  platform::QtDialogWidget* Widget() const { return QtWindow() ? QtWindow()->Widget() : nullptr; }
  QWidget* Control(int id) const { return QtWindow() ? QtWindow()->Control(id) : nullptr; }

  std::vector<int> clicks;
  std::vector<int> selChanges;
  std::vector<int> timers;
  int oks = 0;
  int cancels = 0;
  int helps = 0;
  bool endOnOk = false;
  bool endOnCancel = false;
  std::function<void()> onInit;
  std::function<void(int)> onTimer;

 protected:
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    if (onInit) onInit();
    return true;
  }
  void OnOK() override {
    ++oks;
    if (endOnOk) CDialog::OnOK();
  }
  void OnCancel() override {
    ++cancels;
    if (endOnCancel) CDialog::OnCancel();
  }
};
