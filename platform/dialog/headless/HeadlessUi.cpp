#include "platform/dialog/headless/HeadlessUi.h"

#include <algorithm>

namespace platform {

HeadlessWindow::HeadlessWindow(HeadlessUi& ui, const DialogTemplate& tpl, CDialog& owner,
                               DialogWindow* parent)
    : ui_(ui), tpl_(tpl), owner_(owner), parent_(parent) {
  Control caption;
  caption.text = tpl.caption;
  controls_[0] = caption;
  for (const auto& c : tpl.controls) {
    if (c.id == IDC_STATIC) continue;
    Control m;
    m.kind = c.kind;
    if (c.kind != ControlKind::ComboBox) m.text = c.text;
    m.enabled = !c.disabled;
    m.visible = c.visible;
    controls_[c.id] = m;
  }
  ui_.windows_.push_back(this);
}

HeadlessWindow::~HeadlessWindow() {
  ui_.Forget(this);
}

const HeadlessWindow::Control* HeadlessWindow::Find(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

HeadlessWindow::Control* HeadlessWindow::FindMutable(int id) {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

int HeadlessWindow::Focused() const {
  auto canTake = [this](const ControlTemplate& t) {
    const Control* c = Find(t.id);
    return c && c->visible && c->enabled &&
           (t.kind == ControlKind::PushButton || t.kind == ControlKind::DefPushButton ||
            t.kind == ControlKind::ComboBox);
  };
  if (focus_) {
    const ControlTemplate* t = tpl_.Control(*focus_);
    if (t && canTake(*t)) return *focus_;
  }
  for (const ControlTemplate& t : tpl_.controls)
    if (t.tabStop && canTake(t)) return t.id;
  return IDC_STATIC;
}

std::vector<std::u16string> HeadlessWindow::Items(int id) const {
  const Control* c = Find(id);
  return c ? c->items : std::vector<std::u16string>{};
}

void HeadlessWindow::SetEnabled(int id, bool enabled) {
  if (Control* c = FindMutable(id)) c->enabled = enabled;
}

bool HeadlessWindow::IsEnabled(int id) const {
  const Control* c = Find(id);
  return c && c->enabled;
}

void HeadlessWindow::SetVisible(int id, bool visible) {
  if (Control* c = FindMutable(id)) c->visible = visible;
}

bool HeadlessWindow::IsVisible(int id) const {
  const Control* c = Find(id);
  return c && c->visible;
}

void HeadlessWindow::SetText(int id, const std::u16string& text) {
  Control* c = FindMutable(id);
  // A drop-down list shows its selected entry; its text cannot be set.
  if (c && c->kind != ControlKind::ComboBox) c->text = text;
}

std::u16string HeadlessWindow::GetText(int id) const {
  const Control* c = Find(id);
  if (!c) return {};
  if (c->kind == ControlKind::ComboBox)
    return c->sel >= 0 && c->sel < static_cast<int>(c->items.size()) ? c->items[c->sel]
                                                                     : std::u16string();
  return c->text;
}

void HeadlessWindow::ComboReset(int id) {
  Control* c = FindMutable(id);
  if (c && c->kind == ControlKind::ComboBox) {
    c->items.clear();
    c->sel = -1;
  }
}

int HeadlessWindow::ComboAdd(int id, const std::u16string& text) {
  Control* c = FindMutable(id);
  if (!c || c->kind != ControlKind::ComboBox) return CB_ERR;
  c->items.push_back(text);
  return static_cast<int>(c->items.size()) - 1;
}

int HeadlessWindow::ComboCount(int id) const {
  const Control* c = Find(id);
  return c ? static_cast<int>(c->items.size()) : 0;
}

std::u16string HeadlessWindow::ComboItem(int id, int index) const {
  const Control* c = Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[index];
}

int HeadlessWindow::ComboGetSel(int id) const {
  const Control* c = Find(id);
  return c ? c->sel : CB_ERR;
}

void HeadlessWindow::ComboSetSel(int id, int index) {
  Control* c = FindMutable(id);
  if (!c || c->kind != ControlKind::ComboBox) return;
  c->sel = (index >= 0 && index < static_cast<int>(c->items.size())) ? index : -1;
}

int HeadlessWindow::RunModal() {
  modal_ = true;
  ui_.modalRuns.push_back(tpl_.id);
  while (!ended_) {
    if (ui_.RunOneDue(true)) continue;
    auto next = ui_.NextDue();
    if (!next) {
      ui_.stuck = true;
      ended_ = true;
      result_ = IDCANCEL;
      break;
    }
    ui_.clock_.AdvanceTo(*next);
  }
  modal_ = false;
  return result_;
}

void HeadlessWindow::EndModal(int result) {
  ended_ = true;
  result_ = result;
}

void HeadlessWindow::SetTimer(int timerId, unsigned periodMs) {
  KillTimer(timerId);
  uint64_t period = static_cast<uint64_t>(periodMs) * 1000;
  ui_.timers_.push_back({this, timerId, period, ui_.clock_.NowUs() + period});
}

void HeadlessWindow::KillTimer(int timerId) {
  std::erase_if(ui_.timers_,
                [&](const HeadlessUi::Timer& t) { return t.window == this && t.id == timerId; });
}

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

HeadlessWindow* HeadlessUi::Window(int templateId) const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if ((*it)->TemplateId() == templateId) return *it;
  return nullptr;
}

bool HeadlessUi::Click(int templateId, int controlId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  const auto* c = w->Find(controlId);
  if (!c || !c->enabled || !c->visible) return false;
  w->Owner().DispatchButton(controlId);
  return true;
}

bool HeadlessUi::Select(int templateId, int comboId, int index) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  auto* c = w->FindMutable(comboId);
  if (!c || c->kind != ControlKind::ComboBox || !c->enabled || !c->visible || index < 0 ||
      index >= static_cast<int>(c->items.size()))
    return false;
  c->sel = index;
  w->Owner().DispatchSelChange(comboId);
  return true;
}

bool HeadlessUi::SelectText(int templateId, int comboId, const std::u16string& text) {
  auto items = Items(templateId, comboId);
  auto it = std::find(items.begin(), items.end(), text);
  if (it == items.end()) return false;
  return Select(templateId, comboId, static_cast<int>(it - items.begin()));
}

bool HeadlessUi::Ok(int templateId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  w->Owner().DispatchOk();
  return true;
}

bool HeadlessUi::Focus(int templateId, int controlId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  std::optional<int> before = w->focus_;
  w->focus_ = controlId;
  if (w->Focused() == controlId) return true;
  w->focus_ = before;
  return false;
}

bool HeadlessUi::Enter(int templateId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  w->Owner().DispatchEnter(w->Focused());
  return true;
}

bool HeadlessUi::Cancel(int templateId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  w->Owner().DispatchCancel();
  return true;
}

bool HeadlessUi::Help(int templateId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  w->Owner().DispatchHelp();
  return true;
}

std::u16string HeadlessUi::Text(int templateId, int controlId) const {
  HeadlessWindow* w = Window(templateId);
  return w ? w->GetText(controlId) : std::u16string();
}

bool HeadlessUi::Enabled(int templateId, int controlId) const {
  HeadlessWindow* w = Window(templateId);
  return w && w->IsEnabled(controlId);
}

bool HeadlessUi::Visible(int templateId, int controlId) const {
  HeadlessWindow* w = Window(templateId);
  return w && w->IsVisible(controlId);
}

int HeadlessUi::Selection(int templateId, int comboId) const {
  HeadlessWindow* w = Window(templateId);
  return w ? w->ComboGetSel(comboId) : CB_ERR;
}

std::vector<std::u16string> HeadlessUi::Items(int templateId, int comboId) const {
  HeadlessWindow* w = Window(templateId);
  return w ? w->Items(comboId) : std::vector<std::u16string>{};
}

}  // namespace platform
