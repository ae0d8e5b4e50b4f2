#include "platform/dialog/headless/HeadlessWindow.h"

#include <algorithm>

#include "platform/dialog/headless/HeadlessBackend.h"

namespace platform {

HeadlessWindow::HeadlessWindow(HeadlessBackend& ui, const DialogTemplate& tpl, CDialog& owner,
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
  ui_.DiscardKeysTypedWhileBusy();
  while (!ended_) {
    if (ui_.RunOneDue(true)) continue;
    ui_.Idle();
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
  std::erase_if(ui_.timers_, [&](const HeadlessBackend::Timer& t) {
    return t.window == this && t.id == timerId;
  });
}

}  // namespace platform
