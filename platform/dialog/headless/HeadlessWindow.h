#pragma once
// One dialog window of the headless backend: the template's controls as an in-memory model
// (kind, text, enabled and visible states, combo entries and selection, the focus), and a
// modal run that turns the backend's queue of scheduled actions, typed keys and timers on the
// virtual clock. Operations on ids the template does not have do nothing and read as empty,
// disabled and hidden.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogBackend.h"

namespace platform {

class HeadlessBackend;

class HeadlessWindow final : public DialogWindow {
 public:
  struct Control {
    ControlKind kind = ControlKind::Label;
    std::u16string text;
    bool enabled = true;
    bool visible = true;
    std::vector<std::u16string> items;
    int sel = -1;
  };

  HeadlessWindow(HeadlessBackend& ui, const DialogTemplate& tpl, CDialog& owner,
                 DialogWindow* parent);
  ~HeadlessWindow() override;

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
  void SetIcon(int iconResourceId) override { icon_ = iconResourceId; }
  void MoveTo(int x, int y) override {
    x_ = x;
    y_ = y;
  }
  int RunModal() override;
  void EndModal(int result) override;
  void SetTimer(int timerId, unsigned periodMs) override;
  void KillTimer(int timerId) override;

  CDialog& Owner() const { return owner_; }
  int TemplateId() const { return tpl_.id; }
  const DialogTemplate& Template() const { return tpl_; }
  DialogWindow* Parent() const { return parent_; }
  int Icon() const { return icon_; }
  int X() const { return x_; }
  int Y() const { return y_; }
  bool IsModal() const { return modal_; }
  const Control* Find(int id) const;
  std::vector<std::u16string> Items(int id) const;
  // The control with the keyboard focus: the one a test gave it, else the first control of
  // the tab order that can take it (visible and enabled), as when the window is shown;
  // IDC_STATIC when none can.
  int Focused() const;

 private:
  friend class HeadlessBackend;
  Control* FindMutable(int id);

  HeadlessBackend& ui_;
  const DialogTemplate& tpl_;
  CDialog& owner_;
  DialogWindow* parent_;
  std::map<int, Control> controls_;
  std::optional<int> focus_;
  int icon_ = 0;
  int x_ = 0, y_ = 0;
  bool modal_ = false;
  bool ended_ = false;
  int result_ = IDCANCEL;
};

}  // namespace platform
