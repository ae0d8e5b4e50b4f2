#pragma once
// A dialog window of the Win32 backend: the system's own dialog box, made from the template in
// memory (DialogTemplateBlob) by DialogBoxIndirectParamW, so that layout in dialog units, Tab
// order, Enter, Escape, the close button and the "&" mnemonics are the system's dialog
// manager's. The window exists only inside its modal run: the owner's OnInitDialog runs on
// WM_INITDIALOG, before the box shows. Control operations are the system's messages
// (combo-box messages, EnableWindow, ShowWindow, SetWindowTextW, GetWindowTextW, SetTimer).
//
// What the window hands to its CDialog: a button's click (BN_CLICKED, and the OK and cancel
// commands Enter, Escape and the close button make), a list's selection change
// (CBN_SELCHANGE), WM_TIMER and the help request WM_HELP (F1).
//
// Before the window exists and after it is gone, and on ids the template does not have (or
// IDC_STATIC), every operation does nothing and reads as empty, disabled and hidden.

#include <functional>

#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/win32/DialogTemplateBlob.h"
#include "platform/dialog/win32/WindowsHeader.h"

namespace platform {

class Win32Backend;

class Win32DialogWindow final : public DialogWindow {
 public:
  Win32DialogWindow(const DialogTemplate& tpl, CDialog& owner, HWND parent, Win32Backend& backend);
  ~Win32DialogWindow() override;
  Win32DialogWindow(const Win32DialogWindow&) = delete;
  Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

  HWND Handle() const { return hwnd_; }

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

  bool CreatedByModalRun() const override { return true; }
  int RunModalCreating(const std::function<void()>& onCreated) override;
  bool Realize() override;
  int RunModal() override;
  void EndModal(int result) override;

  void SetTimer(int timerId, unsigned periodMs) override;
  void KillTimer(int timerId) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);
  // The control of an id the template has, or nullptr.
  HWND Control(int id) const;
  HWND Combo(int id) const;

  const DialogTemplate& tpl_;
  CDialog& owner_;
  HWND parent_;
  Win32Backend& backend_;
  DialogTemplateBlob blob_;
  HWND hwnd_ = nullptr;
  bool modeless_ = false;  // made by Realize, destroyed with this object
  std::function<void()> onCreated_;
  bool endPending_ = false;  // EndModal came before the window existed
  int endResult_ = 0;
  bool ended_ = false;  // the modeless window's run has been ended
};

}  // namespace platform
