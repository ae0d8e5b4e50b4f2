#include "platform/dialog/headless/HeadlessUi.h"

#include <algorithm>

namespace platform {

HeadlessUi::HeadlessUi(VirtualClock& clock) : clock_(clock) {}

HeadlessUi::~HeadlessUi() = default;

std::unique_ptr<DialogWindow> HeadlessUi::CreateDialogWindow(const DialogTemplate& tpl,
                                                             CDialog& owner, DialogWindow* parent) {
  return std::make_unique<HeadlessWindow>(*this, tpl, owner, parent);
}

int HeadlessUi::MessageBox(DialogWindow* owner, const std::u16string& text,
                           const std::u16string& caption, unsigned type) {
  MessageBoxRecord r;
  r.text = text;
  r.caption = caption;
  r.type = type;
  if (auto* w = dynamic_cast<HeadlessWindow*>(owner)) r.ownerTemplate = w->TemplateId();
  if (decide_) {
    r.answer = decide_(r);
  } else if (!answers_.empty()) {
    r.answer = answers_.front();
    answers_.pop_front();
  } else {
    unsigned buttons = type & MB_TYPEMASK;
    r.answer = buttons == MB_OK                                        ? IDOK
               : (buttons == MB_YESNOCANCEL || buttons == MB_OKCANCEL) ? IDCANCEL
                                                                       : IDNO;
  }
  boxes.push_back(r);
  return r.answer;
}

void HeadlessUi::BeginWaitCursor() {
  ++waitCursorDepth;
  ++waitCursorBegins;
}

void HeadlessUi::EndWaitCursor() {
  if (waitCursorDepth > 0)
    --waitCursorDepth;
  else
    ++unbalancedWaitEnds;
}

bool HeadlessUi::PumpOneMessage() {
  return RunOneDue(true);
}

bool HeadlessUi::ShellOpen(DialogWindow*, const std::string& path) {
  shellOpens.push_back(path);
  return true;
}

bool HeadlessUi::RunOneDue(bool timersToo) {
  uint64_t now = clock_.NowUs();
  auto ev = std::min_element(scheduled_.begin(), scheduled_.end(), [](auto& a, auto& b) {
    return a.dueUs != b.dueUs ? a.dueUs < b.dueUs : a.seq < b.seq;
  });
  if (ev != scheduled_.end() && ev->dueUs <= now) {
    auto action = std::move(ev->action);
    scheduled_.erase(ev);
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

std::optional<uint64_t> HeadlessUi::NextDue() const {
  std::optional<uint64_t> next;
  for (auto& s : scheduled_)
    if (!next || s.dueUs < *next) next = s.dueUs;
  for (auto& t : timers_)
    if (!next || t.dueUs < *next) next = t.dueUs;
  return next;
}

void HeadlessUi::Forget(HeadlessWindow* w) {
  std::erase(windows_, w);
  std::erase_if(timers_, [&](const Timer& t) { return t.window == w; });
}

void HeadlessUi::Schedule(uint64_t delayMs, std::function<void()> action) {
  scheduled_.push_back({clock_.NowUs() + delayMs * 1000, seq_++, std::move(action)});
}

}  // namespace platform
