#pragma once
// The dialog backend of the program on Windows: the system's own dialog manager and calls.
// Template windows are Win32DialogWindow (DialogBoxIndirectParamW); message boxes are
// MessageBoxW, the beep MessageBeep, the wait cursor the system's IDC_WAIT, the pump one
// PeekMessageW with the dialog manager's keys, and the shell ShellExecuteExW.
//
// Keys and clicks that were queued while the wait cursor was up are dropped before a message
// box or a dialog takes the keyboard, so that a result box is always seen before it can be
// answered; what arrived once the program was idle again is kept.
//
// Nothing here throws. A message box the system could not show answers 0.

#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/win32/WindowsHeader.h"

namespace platform {

class Win32Backend final : public DialogBackend {
 public:
  Win32Backend() = default;
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  std::unique_ptr<DialogWindow> CreateDialogWindow(const DialogTemplate& tpl, CDialog& owner,
                                                   DialogWindow* parent) override;
  int MessageBox(DialogWindow* owner, const std::u16string& text, const std::u16string& caption,
                 unsigned type) override;
  void MessageBeep(unsigned type) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  bool PumpOneMessage() override;
  bool ShellOpen(DialogWindow* owner, const std::string& path) override;

  bool Busy() const { return waitCursorDepth_ > 0; }
  // Drops the keys and clicks queued while busy, before something takes the keyboard.
  void BeforeKeyboard();

 private:
  int waitCursorDepth_ = 0;
  bool busySeen_ = false;  // the wait cursor was up since the last BeforeKeyboard
  DWORD busyEndedAt_ = 0;  // message time when the wait cursor last went
  HCURSOR cursorBefore_ = nullptr;
};

}  // namespace platform
