#pragma once
// The headless dialog backend, for tests: dialogs run against an in-memory model of their
// controls on the virtual clock. A test scripts the user (click, select, OK and cancel
// commands, answers to message boxes, actions scheduled at a virtual time) and reads what was
// shown: texts, enabled and visible states, combo entries and selections, message boxes with
// text, caption, buttons and icon, beeps, the wait cursor, shell requests.
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
#include "platform/system/Clock.h"

namespace platform {

class HeadlessUi;

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

  HeadlessWindow(HeadlessUi& ui, const DialogTemplate& tpl, CDialog& owner, DialogWindow* parent);
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
  friend class HeadlessUi;
  Control* FindMutable(int id);

  HeadlessUi& ui_;
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

struct MessageBoxRecord {
  std::u16string text;
  std::u16string caption;
  unsigned type = 0;  // MB_ buttons | MB_ icon
  int answer = 0;
  int ownerTemplate = 0;  // template id of the owning window, 0 for none
  unsigned Buttons() const { return type & MB_TYPEMASK; }
  unsigned IconFlags() const { return type & MB_ICONMASK; }
};

class HeadlessUi final : public DialogBackend {
 public:
  explicit HeadlessUi(VirtualClock& clock);
  ~HeadlessUi() override;

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
  };
  bool RunOneDue(bool timersToo);
  std::optional<uint64_t> NextDue() const;
  void Forget(HeadlessWindow* w);

  VirtualClock& clock_;
  std::vector<HeadlessWindow*> windows_;  // live windows, oldest first
  std::vector<Timer> timers_;
  std::vector<Scheduled> scheduled_;
  uint64_t seq_ = 0;
  std::deque<int> answers_;
  std::function<int(const MessageBoxRecord&)> decide_;
};

// Installs a headless backend and a virtual clock for the life of a scope (tests).
struct HeadlessScope {
  VirtualClock clock;
  HeadlessUi ui{clock};
  HeadlessScope() {
    SetClock(&clock);
    SetBackend(&ui);
  }
  ~HeadlessScope() {
    SetBackend(nullptr);
    SetClock(nullptr);
  }
};

}  // namespace platform
