#pragma once
// What a dialog framework backend provides: live windows built from templates, message boxes,
// the beep, the wait cursor, the one-message pump and the shell. Four backends exist: Qt 6
// Widgets for the real program with a display (platform/dialog/qt/), the text terminal for
// one without (platform/dialog/text/), the system's own dialog manager on Windows
// (platform/dialog/win32/), and the headless one for tests (platform/dialog/headless/).
// CDialog and CWinApp talk only to this interface.
//
// Nothing here throws. Operations on a control id the template does not have do nothing and
// read as empty, disabled and hidden.

#include <functional>
#include <memory>
#include <string>

#include "platform/dialog/DialogTemplate.h"

namespace platform {

class CDialog;

// One window made from a template, owned by its CDialog while it exists.
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;

  virtual void SetEnabled(int id, bool enabled) = 0;
  virtual bool IsEnabled(int id) const = 0;
  virtual void SetVisible(int id, bool visible) = 0;
  virtual bool IsVisible(int id) const = 0;
  // Text of a control; id 0 is the window's own caption. A drop-down list's text is the text
  // of its selected entry (empty when none is selected) and cannot be set.
  virtual void SetText(int id, const std::u16string& text) = 0;
  virtual std::u16string GetText(int id) const = 0;

  virtual void ComboReset(int id) = 0;
  virtual int ComboAdd(int id, const std::u16string& text) = 0;  // index, or CB_ERR
  virtual int ComboCount(int id) const = 0;
  virtual std::u16string ComboItem(int id, int index) const = 0;
  virtual int ComboGetSel(int id) const = 0;        // CB_ERR when nothing is selected
  virtual void ComboSetSel(int id, int index) = 0;  // -1 or out of range: no selection

  virtual void SetIcon(int iconResourceId) = 0;
  virtual void MoveTo(int x, int y) = 0;  // screen pixels, size and z-order kept

  // Shows the window modally and returns the result given to EndModal. The owner's
  // OnInitDialog has already run on the created (not yet shown) window. EndModal before
  // RunModal makes RunModal return at once.
  virtual int RunModal() = 0;
  virtual void EndModal(int result) = 0;

  // Most windows exist from their construction. A window that the system makes only inside
  // its modal run (a Windows dialog box) answers true here; CDialog then runs it with
  // RunModalCreating, which calls onCreated (the owner's OnInitDialog) once the window exists
  // and before it shows, and answers as RunModal does, or -1 when no window could be made.
  // Such a window is made without a modal run by Realize (tests drive it so).
  virtual bool CreatedByModalRun() const { return false; }
  virtual int RunModalCreating(const std::function<void()>& onCreated) {
    onCreated();
    return RunModal();
  }
  virtual bool Realize() { return true; }  // false when the window could not be made

  virtual void SetTimer(int timerId, unsigned periodMs) = 0;
  virtual void KillTimer(int timerId) = 0;
};

class DialogBackend {
 public:
  virtual ~DialogBackend() = default;
  // Creates the window of a template for its dialog; parent may be nullptr.
  virtual std::unique_ptr<DialogWindow> CreateDialogWindow(const DialogTemplate& tpl,
                                                           CDialog& owner,
                                                           DialogWindow* parent) = 0;
  // Shows a message box (MB_ buttons and icon) owned by a window or by nobody; answers ID*.
  virtual int MessageBox(DialogWindow* owner, const std::u16string& text,
                         const std::u16string& caption, unsigned type) = 0;
  virtual void MessageBeep(unsigned type) = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  // Takes at most one waiting message from the queue and dispatches it; false when none waited.
  virtual bool PumpOneMessage() = 0;
  // Opens a file with the desktop's viewer for its type; false when the request failed.
  virtual bool ShellOpen(DialogWindow* owner, const std::string& path) = 0;
};

DialogBackend& CurrentBackend();
void SetBackend(DialogBackend* backend);  // the caller keeps ownership

}  // namespace platform
