// The scripted user of the headless backend, and what a test reads back of the windows.
#include <algorithm>

#include "platform/dialog/headless/HeadlessBackend.h"

namespace platform {

HeadlessWindow* HeadlessBackend::Window(int templateId) const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if ((*it)->TemplateId() == templateId) return *it;
  return nullptr;
}

bool HeadlessBackend::Click(int templateId, int controlId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  const auto* c = w->Find(controlId);
  if (!c || !c->enabled || !c->visible) return false;
  w->Owner().DispatchButton(controlId);
  return true;
}

bool HeadlessBackend::Select(int templateId, int comboId, int index) {
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

bool HeadlessBackend::SelectText(int templateId, int comboId, const std::u16string& text) {
  auto items = Items(templateId, comboId);
  auto it = std::find(items.begin(), items.end(), text);
  if (it == items.end()) return false;
  return Select(templateId, comboId, static_cast<int>(it - items.begin()));
}

bool HeadlessBackend::Ok(int templateId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  w->Owner().DispatchOk();
  return true;
}

bool HeadlessBackend::Focus(int templateId, int controlId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  std::optional<int> before = w->focus_;
  w->focus_ = controlId;
  if (w->Focused() == controlId) return true;
  w->focus_ = before;
  return false;
}

bool HeadlessBackend::Enter(int templateId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  w->Owner().DispatchEnter(w->Focused());
  return true;
}

bool HeadlessBackend::Cancel(int templateId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  w->Owner().DispatchCancel();
  return true;
}

bool HeadlessBackend::Help(int templateId) {
  HeadlessWindow* w = Window(templateId);
  if (!w) return false;
  w->Owner().DispatchHelp();
  return true;
}

std::u16string HeadlessBackend::Text(int templateId, int controlId) const {
  HeadlessWindow* w = Window(templateId);
  return w ? w->GetText(controlId) : std::u16string();
}

bool HeadlessBackend::Enabled(int templateId, int controlId) const {
  HeadlessWindow* w = Window(templateId);
  return w && w->IsEnabled(controlId);
}

bool HeadlessBackend::Visible(int templateId, int controlId) const {
  HeadlessWindow* w = Window(templateId);
  return w && w->IsVisible(controlId);
}

int HeadlessBackend::Selection(int templateId, int comboId) const {
  HeadlessWindow* w = Window(templateId);
  return w ? w->ComboGetSel(comboId) : CB_ERR;
}

std::vector<std::u16string> HeadlessBackend::Items(int templateId, int comboId) const {
  HeadlessWindow* w = Window(templateId);
  return w ? w->Items(comboId) : std::vector<std::u16string>{};
}

}  // namespace platform
