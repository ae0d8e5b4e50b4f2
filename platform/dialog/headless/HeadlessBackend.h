#pragma once
// The headless dialog backend, for tests: dialogs run against an in-memory model of their
// controls on the virtual clock. A test scripts the user (click, select, OK and cancel
// commands, answers to message boxes, actions scheduled at a virtual time) and reads what was
// shown: texts, enabled and visible states, combo entries and selections, message boxes with
// text, caption, buttons and icon, beeps, the wait cursor, shell requests.
//
// Keys the test types are queued as a terminal or window system queues them: a modal run or a
// pump hands each, when due, to the newest modal window, and a message box that opens while a
// key waits takes it as its answer. As on the real screens, keys that arrived while the wait
// cursor was up are discarded before a message box or a modal run takes the keyboard.
//
// A modal run that has nothing left to wait for (no scheduled action, no timer) would wait
// forever on a real screen; here it ends with IDCANCEL and sets `stuck`, so a test that forgot
// to script the user fails instead of hanging.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/headless/HeadlessWindow.h"
#include "platform/system/Clock.h"

namespace platform {

struct MessageBoxRecord {
  std::u16string text;
  std::u16string caption;
  unsigned type = 0;  // MB_ buttons | MB_ icon
  int answer = 0;
  int ownerTemplate = 0;    // template id of the owning window, 0 for none
  bool typedAhead = false;  // answered by a key typed before the box was shown
  unsigned Buttons() const { return type & MB_TYPEMASK; }
  unsigned IconFlags() const { return type & MB_ICONMASK; }
};

class HeadlessBackend final : public DialogBackend {
 public:
  explicit HeadlessBackend(VirtualClock& clock);
  ~HeadlessBackend() override;

  // DialogBackend
  std::unique_ptr<DialogWindow> CreateDialogWindow(const DialogTemplate& tpl, CDialog& owner,
                                                   DialogWindow* parent) override;
  int MessageBox(DialogWindow* owner, const std::u16string& text, const std::u16string& caption,
                 unsigned type) override;
  void MessageBeep(unsigned type) override { beeps.push_back(type); }
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  bool PumpOneMessage() override;
  bool ShellOpen(DialogWindow* owner, const std::string& path) override;

  // The user, scripted. Each answers false when the control is missing, hidden or disabled
  // (a real user could not have done it) and does nothing then.
  bool Click(int templateId, int controlId);
  bool Select(int templateId, int comboId, int index);
  bool SelectText(int templateId, int comboId, const std::u16string& text);
  bool Ok(int templateId);
  bool Cancel(int templateId);
  // Moves the focus to a push button or drop-down list (false when it cannot take it), and
  // presses Enter in the window (the framework's rule: the focused push button, else the
  // default one, else the OK command).
  bool Focus(int templateId, int controlId);
  bool Enter(int templateId);
  bool Help(int templateId);
  // Runs an action when the virtual clock reaches now + delayMs, from inside a modal run or a
  // one-message pump (as a queued message would be).
  void Schedule(uint64_t delayMs, std::function<void()> action);
  // A key the user types at now + delayMs (see above).
  enum class Key { Enter, Escape };
  void Type(uint64_t delayMs, Key key);
  // Answers for the coming message boxes, in order. Without one, a box is answered as if
  // dismissed: IDOK for an OK box, IDCANCEL when a Cancel button exists, else IDNO.
  void AnswerNext(int answer) { answers_.push_back(answer); }
  // Decides the answers by looking at each box instead; takes precedence over AnswerNext.
  void OnMessageBox(std::function<int(const MessageBoxRecord&)> decide) {
    decide_ = std::move(decide);
  }

  // What was shown. The newest live window of a template, or nullptr.
  HeadlessWindow* Window(int templateId) const;
  std::u16string Text(int templateId, int controlId) const;
  bool Enabled(int templateId, int controlId) const;
  bool Visible(int templateId, int controlId) const;
  int Selection(int templateId, int comboId) const;
  std::vector<std::u16string> Items(int templateId, int comboId) const;

  std::vector<MessageBoxRecord> boxes;
  std::vector<unsigned> beeps;
  std::vector<std::string> shellOpens;
  int waitCursorDepth = 0;  // shown while above zero
  int waitCursorBegins = 0;
  int unbalancedWaitEnds = 0;  // ends without a matching begin
  bool stuck = false;          // a modal run ended because nothing was left to happen
  std::vector<int> modalRuns;  // template ids, in the order their modal runs began
  int discardedKeys = 0;       // typed while the wait cursor was up, dropped unseen

 private:
  friend class HeadlessWindow;
  struct Timer {
    HeadlessWindow* window;
    int id;
    uint64_t periodUs;
    uint64_t dueUs;
  };
  struct Scheduled {
    uint64_t dueUs;
    uint64_t seq;
    std::function<void()> action;
    std::optional<Key> key;  // a typed key instead of an action
  };
  bool RunOneDue(bool timersToo);
  void DispatchKey(Key key);
  // Drops the keys that are due and arrived while the wait cursor was up.
  void DiscardKeysTypedWhileBusy();
  // The queue had nothing due: with the wait cursor down, nothing typed while busy is left.
  void Idle();
  // The earliest due key, taken from the queue.
  std::optional<Key> TakeDueKey();
  std::optional<uint64_t> NextDue() const;
  void Forget(HeadlessWindow* w);

  VirtualClock& clock_;
  std::vector<HeadlessWindow*> windows_;  // live windows, oldest first
  std::vector<Timer> timers_;
  std::vector<Scheduled> scheduled_;
  uint64_t seq_ = 0;
  std::deque<int> answers_;
  // When the wait cursor went up, unless the queue has been found without a due key since it
  // came down: keys due from then on arrived while the tool was busy.
  std::optional<uint64_t> busySinceUs_;
  std::function<int(const MessageBoxRecord&)> decide_;
};

}  // namespace platform
