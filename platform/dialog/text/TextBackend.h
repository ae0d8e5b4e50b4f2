#pragma once
// The dialog backend for a text terminal: template dialogs and message boxes drawn in
// character cells, on a stack of modal runs of which only the top one takes input. One loop
// serves every run: it paints the stack, fires the timers that are due (the platform clock's
// time), and waits for one input event until the next timer is due. PumpOneMessage is one
// turn of that loop without waiting: at most one due timer or one waiting event, dispatched.
// The wait cursor is a busy mark in the top dialog's title line, painted at once since the
// work it announces does not pump; what was typed while it was up is discarded before a
// message box or a dialog takes the keyboard, so no key meant for the busy tool answers a box
// its user has not seen (keys typed after the tool was idle again are kept as type-ahead); the
// beep is the terminal's bell; ShellOpen gives the terminal to a text browser ($BROWSER,
// www-browser, w3m, lynx, elinks) for the file, and when none of them is installed shows a
// message box with the file's path and the browsers it tried (a missing file still shows
// nothing).
//
// When the terminal hangs up (the SSH session ended), every run is closed as if the user
// pressed Escape, and message boxes answer No where they can, so the program ends on its own,
// writing its log, instead of waiting for a user who is gone.

#include <cstdint>
#include <vector>

#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/text/TerminalIo.h"
#include "platform/dialog/text/TextLayer.h"

namespace platform {

class TextDialogWindow;

class TextBackend final : public DialogBackend {
 public:
  explicit TextBackend(TerminalIo& io);
  ~TextBackend() override;
  TextBackend(const TextBackend&) = delete;
  TextBackend& operator=(const TextBackend&) = delete;

  std::unique_ptr<DialogWindow> CreateDialogWindow(const DialogTemplate& tpl, CDialog& owner,
                                                   DialogWindow* parent) override;
  int MessageBox(DialogWindow* owner, const std::u16string& text, const std::u16string& caption,
                 unsigned type) override;
  void MessageBeep(unsigned type) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  bool PumpOneMessage() override;
  bool ShellOpen(DialogWindow* owner, const std::string& path) override;

  // Runs a layer's modal loop until it has ended.
  void RunLayer(TextLayer& layer);
  void SetTimer(TextDialogWindow* window, int timerId, unsigned periodMs);
  void KillTimer(TextDialogWindow* window, int timerId);
  void Forget(TextDialogWindow* window);  // a window going away: its timers too
  // Paints the whole stack and shows it.
  void Render();

  bool HungUp() const { return hungUp_; }
  bool Busy() const { return busy_ > 0; }
  size_t Depth() const { return stack_.size(); }

 private:
  struct Timer {
    TextDialogWindow* window;
    int id;
    uint64_t periodUs;
    uint64_t dueUs;
    bool running;  // its handler is running: not fired again until it returns
  };
  bool RunDueTimer();
  int MsToNextTimer() const;
  void Dispatch(const InputEvent& event);
  // Nothing was waiting to be read.
  void Idle();

  TerminalIo& io_;
  std::vector<TextLayer*> stack_;
  std::vector<Timer> timers_;
  int busy_ = 0;
  // The wait cursor went up since the input was last found empty with the cursor down.
  bool typedWhileBusy_ = false;
  bool hungUp_ = false;
};

}  // namespace platform
