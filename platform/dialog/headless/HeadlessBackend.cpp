#include "platform/dialog/headless/HeadlessBackend.h"

#include <algorithm>

namespace platform {

namespace {

// What closing a box without choosing gives: OK for a lone OK, Cancel where there is one,
// else No.
int DismissAnswer(unsigned type) {
  const unsigned buttons = type & MB_TYPEMASK;
  return buttons == MB_OK                                        ? IDOK
         : (buttons == MB_YESNOCANCEL || buttons == MB_OKCANCEL) ? IDCANCEL
                                                                 : IDNO;
}

// Enter presses the box's first button, its default.
int DefaultAnswer(unsigned type) {
  const unsigned buttons = type & MB_TYPEMASK;
  return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

}  // namespace

HeadlessBackend::HeadlessBackend(VirtualClock& clock) : clock_(clock) {}

HeadlessBackend::~HeadlessBackend() = default;

std::unique_ptr<DialogWindow> HeadlessBackend::CreateDialogWindow(const DialogTemplate& tpl,
                                                                  CDialog& owner,
                                                                  DialogWindow* parent) {
  return std::make_unique<HeadlessWindow>(*this, tpl, owner, parent);
}

int HeadlessBackend::MessageBox(DialogWindow* owner, const std::u16string& text,
                                const std::u16string& caption, unsigned type) {
  MessageBoxRecord r;
  r.text = text;
  r.caption = caption;
  r.type = type;
  if (auto* w = dynamic_cast<HeadlessWindow*>(owner)) r.ownerTemplate = w->TemplateId();
  DiscardKeysTypedWhileBusy();
  if (std::optional<Key> key = TakeDueKey()) {
    r.typedAhead = true;
    r.answer = *key == Key::Enter ? DefaultAnswer(type) : DismissAnswer(type);
  } else if (decide_) {
    r.answer = decide_(r);
  } else if (!answers_.empty()) {
    r.answer = answers_.front();
    answers_.pop_front();
  } else {
    r.answer = DismissAnswer(type);
  }
  boxes.push_back(r);
  return r.answer;
}

void HeadlessBackend::BeginWaitCursor() {
  if (!busySinceUs_) busySinceUs_ = clock_.NowUs();
  ++waitCursorDepth;
  ++waitCursorBegins;
}

void HeadlessBackend::EndWaitCursor() {
  if (waitCursorDepth > 0)
    --waitCursorDepth;
  else
    ++unbalancedWaitEnds;
}

bool HeadlessBackend::PumpOneMessage() {
  if (RunOneDue(true)) return true;
  Idle();
  return false;
}

bool HeadlessBackend::ShellOpen(DialogWindow*, const std::string& path) {
  shellOpens.push_back(path);
  return true;
}

bool HeadlessBackend::RunOneDue(bool timersToo) {
  uint64_t now = clock_.NowUs();
  auto ev = std::min_element(scheduled_.begin(), scheduled_.end(), [](auto& a, auto& b) {
    return a.dueUs != b.dueUs ? a.dueUs < b.dueUs : a.seq < b.seq;
  });
  if (ev != scheduled_.end() && ev->dueUs <= now) {
    auto action = std::move(ev->action);
    const std::optional<Key> key = ev->key;
    scheduled_.erase(ev);
    if (key)
      DispatchKey(*key);
    else
      action();
    return true;
  }
  if (!timersToo) return false;
  auto t = std::min_element(timers_.begin(), timers_.end(),
                            [](auto& a, auto& b) { return a.dueUs < b.dueUs; });
  if (t != timers_.end() && t->dueUs <= now) {
    t->dueUs = now + t->periodUs;
    CDialog& owner = t->window->Owner();
    int id = t->id;
    owner.DispatchTimer(id);
    return true;
  }
  return false;
}

std::optional<uint64_t> HeadlessBackend::NextDue() const {
  std::optional<uint64_t> next;
  for (auto& s : scheduled_)
    if (!next || s.dueUs < *next) next = s.dueUs;
  for (auto& t : timers_)
    if (!next || t.dueUs < *next) next = t.dueUs;
  return next;
}

void HeadlessBackend::Forget(HeadlessWindow* w) {
  std::erase(windows_, w);
  std::erase_if(timers_, [&](const Timer& t) { return t.window == w; });
}

void HeadlessBackend::Schedule(uint64_t delayMs, std::function<void()> action) {
  scheduled_.push_back({clock_.NowUs() + delayMs * 1000, seq_++, std::move(action), std::nullopt});
}

void HeadlessBackend::Type(uint64_t delayMs, Key key) {
  scheduled_.push_back({clock_.NowUs() + delayMs * 1000, seq_++, nullptr, key});
}

void HeadlessBackend::DispatchKey(Key key) {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    HeadlessWindow* w = *it;
    if (!w->IsModal() || w->ended_) continue;
    if (key == Key::Escape)
      w->Owner().DispatchCancel();
    else
      w->Owner().DispatchEnter(w->Focused());
    return;
  }
}

void HeadlessBackend::DiscardKeysTypedWhileBusy() {
  if (!busySinceUs_) return;
  const uint64_t now = clock_.NowUs();
  const uint64_t since = *busySinceUs_;
  discardedKeys += static_cast<int>(std::erase_if(
      scheduled_, [&](const Scheduled& s) { return s.key && s.dueUs >= since && s.dueUs <= now; }));
  // Under a cursor still up, what comes from now on is typed while busy again.
  busySinceUs_.reset();
  if (waitCursorDepth > 0) busySinceUs_ = now;
}

void HeadlessBackend::Idle() {
  if (waitCursorDepth == 0) busySinceUs_.reset();
}

std::optional<HeadlessBackend::Key> HeadlessBackend::TakeDueKey() {
  const uint64_t now = clock_.NowUs();
  auto first = scheduled_.end();
  for (auto it = scheduled_.begin(); it != scheduled_.end(); ++it) {
    if (!it->key || it->dueUs > now) continue;
    if (first == scheduled_.end() ||
        std::pair(it->dueUs, it->seq) < std::pair(first->dueUs, first->seq))
      first = it;
  }
  if (first == scheduled_.end()) return std::nullopt;
  const Key key = *first->key;
  scheduled_.erase(first);
  return key;
}

}  // namespace platform
