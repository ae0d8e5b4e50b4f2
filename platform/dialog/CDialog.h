#pragma once
// The dialog class of the framework: a modal dialog built from a template, with the exchange
// between controls and members (DoDataExchange, UpdateData), a table of handlers (button
// clicked, selection changed, timer, help request) and the OK and cancel commands, the
// control operations the program uses (enable, show, texts, combo boxes), message boxes, the
// beep, the wait cursor, timers and the one-message pump.
//
// While no window exists (before DoModal or Create, after the dialog ended) every control
// operation does nothing and reads as empty; handlers never run then.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/DialogConstants.h"

namespace platform {

class CDialog {
 public:
  CDialog(int templateId, CDialog* parent);
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Creates the window, runs OnInitDialog, shows it modally and returns the result of
  // EndDialog (IDOK, IDCANCEL, ...). -1 when the template is missing or no window could be
  // made; the dialog then ends at once.
  int DoModal();
  // Creates the window and runs OnInitDialog without a modal run (tests drive it directly).
  bool Create();
  void EndDialog(int result);
  // Destroys the window made by Create (DoModal destroys its own).
  void DestroyWindow();

  int TemplateId() const { return templateId_; }
  // EndDialog has been called since the window was made, and with what result.
  bool HasEnded() const { return ending_; }
  int EndResult() const { return endResult_; }
  CDialog* GetParent() const { return parent_; }
  DialogWindow* Window() const { return window_.get(); }
  bool HasWindow() const { return window_ != nullptr; }

  // Entry points for the backends: a user action reaching the dialog.
  void DispatchButton(int controlId);
  void DispatchSelChange(int controlId);
  void DispatchTimer(int timerId);
  void DispatchHelp();
  // Enter and the window's close button (or Escape) send the OK and cancel commands, which go
  // through the handler table like a click on a button with the id IDOK or IDCANCEL.
  void DispatchOk() { DispatchButton(IDOK); }
  void DispatchCancel() { DispatchButton(IDCANCEL); }
  // Enter, as the controller's dialog manager takes it: the focused push button is pressed;
  // with the focus elsewhere (a drop-down list, a label, nothing) the default push button is,
  // and where the template has none the OK command is sent. A hidden default button counts as
  // none; a disabled one only beeps. focusedControlId is IDC_STATIC when nothing has the focus.
  void DispatchEnter(int focusedControlId);
  // A modal dialog of this one is up: until it ends, this dialog's handlers do not run.
  bool HasModalChild() const { return modalChildren_ > 0; }

  // Control operations.
  void EnableControl(int id, bool enable);
  bool IsControlEnabled(int id) const;
  void ShowControl(int id, int showCommand);  // SW_SHOWNORMAL or SW_HIDE
  bool IsControlVisible(int id) const;
  void SetDlgItemText(int id, const std::u16string& text);
  std::u16string GetDlgItemText(int id) const;
  void SetWindowText(const std::u16string& caption) { SetDlgItemText(0, caption); }
  std::u16string GetWindowText() const { return GetDlgItemText(0); }

  void ComboResetContent(int id);
  int ComboAddString(int id, const std::u16string& text);
  int ComboGetCount(int id) const;
  std::u16string ComboGetItem(int id, int index) const;
  int ComboGetCurSel(int id) const;
  void ComboSetCurSel(int id, int index);
  // Selects the first entry after startAfter (-1: from the top) that begins with the text,
  // letter case ignored, and answers its index; CB_ERR (selection unchanged) when none does.
  int ComboSelectString(int id, int startAfter, const std::u16string& prefix);

  void SetIcon(int iconResourceId);
  void MoveWindowTo(int x, int y);
  void SetTimer(int timerId, unsigned periodMs);
  void KillTimer(int timerId);

  // A message box owned by this dialog; an empty caption means the application's name.
  int MessageBox(const std::u16string& text, const std::u16string& caption = u"",
                 unsigned type = MB_OK);

 protected:
  virtual bool OnInitDialog();  // base: UpdateData(false)
  // Exchange between controls and members: save = true takes the controls into the members.
  virtual void DoDataExchange(bool save);
  bool UpdateData(bool save);
  virtual void OnOK();      // base: UpdateData(true), EndDialog(IDOK)
  virtual void OnCancel();  // base: EndDialog(IDCANCEL)

  // The handler table.
  void OnButtonClicked(int controlId, std::function<void()> handler);
  void OnSelChange(int controlId, std::function<void()> handler);
  void OnTimerMessage(std::function<void(int)> handler);
  void OnHelpRequest(std::function<bool()> handler);

 private:
  // Makes the backend's window for the template, without OnInitDialog.
  bool MakeWindow();

  int templateId_;
  CDialog* parent_;
  std::unique_ptr<DialogWindow> window_;
  std::map<int, std::function<void()>> buttonHandlers_;
  std::map<int, std::function<void()>> selChangeHandlers_;
  std::function<void(int)> timerHandler_;
  std::function<bool()> helpHandler_;
  bool ending_ = false;
  int endResult_ = IDCANCEL;
  int modalChildren_ = 0;
};

// Framework-wide helpers that need no dialog.
void MessageBeep(unsigned type);
void BeginWaitCursor();
void EndWaitCursor();
bool PumpOneMessage();
int MessageBoxNoOwner(const std::u16string& text, const std::u16string& caption, unsigned type);

// Shows the wait cursor for the life of a scope.
class CWaitCursor {
 public:
  CWaitCursor() { BeginWaitCursor(); }
  ~CWaitCursor() { EndWaitCursor(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace platform
