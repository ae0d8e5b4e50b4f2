#pragma once
// A dialog window of the Qt backend: a QtDialogWidget laid out from a template, every control
// at its template position converted from dialog units with the dialog's own font, tab order
// as in the template, and each user action handed to the owning CDialog (button clicked,
// selection picked in a drop-down list, timer, and the keyboard commands of QtDialogWidget).
//
// Operations on ids the template does not have (or on IDC_STATIC) do nothing and read as
// empty, disabled and hidden; so do all operations once the Qt window has been destroyed
// from elsewhere (with its parent window, or by the application's end).

#include <QPointer>
#include <map>
#include <vector>

#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/qt/QtDialogWidget.h"

class QComboBox;
class QLabel;
class QTimer;

namespace platform {

class QtTypeAhead;

class QtDialogWindow final : public DialogWindow {
 public:
  // typeAhead, when given, drops what was typed while busy before the window's modal run.
  QtDialogWindow(const DialogTemplate& tpl, CDialog& owner, QWidget* parent,
                 QtTypeAhead* typeAhead = nullptr);
  ~QtDialogWindow() override;
  QtDialogWindow(const QtDialogWindow&) = delete;
  QtDialogWindow& operator=(const QtDialogWindow&) = delete;

  QtDialogWidget* Widget() const { return widget_.data(); }
  // The control of an id, or nullptr; every control, static ones too, in template order.
  QWidget* Control(int id) const;
  std::vector<QWidget*> Controls() const;

  void SetEnabled(int id, bool enabled) override;
  bool IsEnabled(int id) const override;
  void SetVisible(int id, bool visible) override;
  bool IsVisible(int id) const override;
  void SetText(int id, const std::u16string& text) override;
  std::u16string GetText(int id) const override;

  void ComboReset(int id) override;
  int ComboAdd(int id, const std::u16string& text) override;
  int ComboCount(int id) const override;
  std::u16string ComboItem(int id, int index) const override;
  int ComboGetSel(int id) const override;
  void ComboSetSel(int id, int index) override;

  void SetIcon(int iconResourceId) override;
  void MoveTo(int x, int y) override;

  int RunModal() override;
  void EndModal(int result) override;

  void SetTimer(int timerId, unsigned periodMs) override;
  void KillTimer(int timerId) override;

 private:
  void Build(const DialogTemplate& tpl, CDialog& owner);
  QComboBox* Combo(int id) const;
  static void SetLabelText(QLabel* label, const QString& text);

  QPointer<QtDialogWidget> widget_;
  QtTypeAhead* typeAhead_;
  std::map<int, QWidget*> controls_;  // addressable ones, owned by widget_
  std::map<int, QPointer<QTimer>> timers_;
  bool running_ = false;
  bool ended_ = false;
  int endResult_ = 0;
};

}  // namespace platform
