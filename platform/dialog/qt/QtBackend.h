#pragma once
// The dialog backend of the real program, on Qt 6 Widgets: template windows as
// QtDialogWindow, message boxes as QMessageBox, the beep, the override cursor as wait cursor,
// the pump over Qt's event dispatcher and the desktop's file opener. Keys and clicks queued
// while the wait cursor was up are dropped before a message box or a dialog takes the keyboard
// (QtTypeAhead). It needs a QApplication
// for as long as it is used. Nothing here throws; a message box that could not be answered
// by a button reads as its cancel answer.

#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/qt/QtTypeAhead.h"

namespace platform {

class QtBackend final : public DialogBackend {
 public:
  QtBackend();
  ~QtBackend() override;
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;

  std::unique_ptr<DialogWindow> CreateDialogWindow(const DialogTemplate& tpl, CDialog& owner,
                                                   DialogWindow* parent) override;
  int MessageBox(DialogWindow* owner, const std::u16string& text, const std::u16string& caption,
                 unsigned type) override;
  void MessageBeep(unsigned type) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  bool PumpOneMessage() override;
  bool ShellOpen(DialogWindow* owner, const std::string& path) override;

  const QtTypeAhead& TypeAhead() const { return typeAhead_; }

 private:
  int waitCursorDepth_ = 0;  // override cursors this backend pushed and has not popped
  QtTypeAhead typeAhead_;
};

}  // namespace platform
