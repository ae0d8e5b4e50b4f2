#include "platform/dialog/terminal/TerminalDialogModel.h"

#include <algorithm>

#include "platform/system/SafeText.h"
#include "platform/system/WinTypes.h"

namespace platform {

namespace {

bool TakesFocus(ControlKind kind) {
  return kind == ControlKind::PushButton || kind == ControlKind::DefPushButton ||
         kind == ControlKind::ComboBox;
}

bool LessNoCase(const std::u16string& a, const std::u16string& b) {
  const std::u32string x = SafeText(a), y = SafeText(b);
  return std::lexicographical_compare(
      x.begin(), x.end(), y.begin(), y.end(),
      [](char32_t p, char32_t q) { return FoldCase(p) < FoldCase(q); });
}

}  // namespace

TerminalDialogModel::TerminalDialogModel(const DialogTemplate& tpl)
    : tpl_(tpl), caption_(tpl.caption), listRows_(tpl.controls.size(), 1) {
  for (const ControlTemplate& c : tpl.controls) {
    Control m;
    m.tpl = &c;
    if (c.kind != ControlKind::ComboBox) m.text = c.text;
    m.enabled = !c.disabled;
    m.visible = c.visible;
    controls_.push_back(m);
  }
}

TerminalDialogModel::Control* TerminalDialogModel::Find(int id) {
  if (id == IDC_STATIC || id == 0) return nullptr;
  for (Control& c : controls_)
    if (c.tpl->id == id) return &c;
  return nullptr;
}

const TerminalDialogModel::Control* TerminalDialogModel::Find(int id) const {
  return const_cast<TerminalDialogModel*>(this)->Find(id);
}

void TerminalDialogModel::SetEnabled(int id, bool enabled) {
  if (Control* c = Find(id)) c->enabled = enabled;
}

bool TerminalDialogModel::IsEnabled(int id) const {
  const Control* c = Find(id);
  return c && c->enabled;
}

void TerminalDialogModel::SetVisible(int id, bool visible) {
  if (Control* c = Find(id)) c->visible = visible;
}

bool TerminalDialogModel::IsVisible(int id) const {
  const Control* c = Find(id);
  return c && c->visible;
}

void TerminalDialogModel::SetText(int id, const std::u16string& text) {
  if (id == 0) {
    caption_ = text;
    return;
  }
  Control* c = Find(id);
  if (c && c->tpl->kind != ControlKind::ComboBox) c->text = text;
}

std::u16string TerminalDialogModel::GetText(int id) const {
  if (id == 0) return caption_;
  const Control* c = Find(id);
  if (!c) return {};
  if (c->tpl->kind != ControlKind::ComboBox) return c->text;
  return c->sel >= 0 && c->sel < static_cast<int>(c->items.size()) ? c->items[c->sel]
                                                                   : std::u16string();
}

void TerminalDialogModel::ComboReset(int id) {
  Control* c = Find(id);
  if (!c || c->tpl->kind != ControlKind::ComboBox) return;
  c->items.clear();
  c->sel = -1;
  if (openList_ >= 0 && &controls_[openList_] == c) CloseList();
}

int TerminalDialogModel::ComboAdd(int id, const std::u16string& text) {
  Control* c = Find(id);
  if (!c || c->tpl->kind != ControlKind::ComboBox) return CB_ERR;
  int index = static_cast<int>(c->items.size());
  if (c->tpl->sorted) {
    // After every entry that does not come later, letter case ignored.
    index = 0;
    while (index < static_cast<int>(c->items.size()) && !LessNoCase(text, c->items[index])) ++index;
  }
  c->items.insert(c->items.begin() + index, text);
  if (c->sel >= index) ++c->sel;
  return index;
}

int TerminalDialogModel::ComboCount(int id) const {
  const Control* c = Find(id);
  return c ? static_cast<int>(c->items.size()) : 0;
}

std::u16string TerminalDialogModel::ComboItem(int id, int index) const {
  const Control* c = Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[index];
}

int TerminalDialogModel::ComboGetSel(int id) const {
  const Control* c = Find(id);
  return c && c->sel >= 0 ? c->sel : CB_ERR;
}

void TerminalDialogModel::ComboSetSel(int id, int index) {
  Control* c = Find(id);
  if (!c || c->tpl->kind != ControlKind::ComboBox) return;
  c->sel = index >= 0 && index < static_cast<int>(c->items.size()) ? index : -1;
}

bool TerminalDialogModel::CanFocus(int index) const {
  if (index < 0 || index >= static_cast<int>(controls_.size())) return false;
  const Control& c = controls_[index];
  return TakesFocus(c.tpl->kind) && c.visible && c.enabled;
}

bool TerminalDialogModel::IsButton(int index) const {
  const ControlKind k = controls_[index].tpl->kind;
  return k == ControlKind::PushButton || k == ControlKind::DefPushButton;
}

int TerminalDialogModel::FocusIndex() {
  if (CanFocus(focus_)) return focus_;
  const int n = static_cast<int>(controls_.size());
  // The first tab stop at the start; later the next control after the one that lost it.
  const int from = focus_ < 0 ? 0 : focus_ + 1;
  for (int pass = 0; pass < 2; ++pass) {
    for (int k = 0; k < n; ++k) {
      const int i = (from + k) % n;
      if (CanFocus(i) && (pass == 1 || controls_[i].tpl->tabStop)) {
        focus_ = i;
        return focus_;
      }
    }
  }
  return -1;
}

int TerminalDialogModel::FocusedId() {
  const int i = FocusIndex();
  return i < 0 ? IDC_STATIC : controls_[i].tpl->id;
}

void TerminalDialogModel::MoveFocus(int step) {
  const int n = static_cast<int>(controls_.size());
  const int at = FocusIndex();
  if (at < 0) return;
  for (int k = 1; k < n; ++k) {
    const int i = ((at + step * k) % n + n) % n;
    if (CanFocus(i) && controls_[i].tpl->tabStop) {
      focus_ = i;
      return;
    }
  }
}

void TerminalDialogModel::SetListRows(int index, int rows) {
  if (index >= 0 && index < static_cast<int>(listRows_.size()))
    listRows_[index] = std::max(1, rows);
}

DialogCommand TerminalDialogModel::HandleKey(const Key& key) {
  if (openList_ >= 0) return OpenListKey(key);
  const int focused = FocusIndex();
  const bool onList = focused >= 0 && controls_[focused].tpl->kind == ControlKind::ComboBox;
  switch (key.code) {
    case KeyCode::Tab:
      MoveFocus(1);
      return {};
    case KeyCode::BackTab:
      MoveFocus(-1);
      return {};
    case KeyCode::Enter:
      return {DialogCommand::Kind::Enter, focused < 0 ? IDC_STATIC : controls_[focused].tpl->id};
    case KeyCode::Escape:
      return {DialogCommand::Kind::Cancel, IDCANCEL};
    case KeyCode::F1:
      return {DialogCommand::Kind::Help, IDC_STATIC};
    case KeyCode::Char:
      if (key.alt) return PressMnemonic(key.ch);
      if (onList) return ClosedListKey(focused, key);
      if (key.ch == U' ' && focused >= 0 && IsButton(focused))
        return {DialogCommand::Kind::Button, controls_[focused].tpl->id};
      return PressMnemonic(key.ch);
    default:
      break;
  }
  if (onList) return ClosedListKey(focused, key);
  // Between buttons the arrows move the focus like Tab, as the controller's dialogs do.
  if (key.code == KeyCode::Down || key.code == KeyCode::Right) MoveFocus(1);
  if (key.code == KeyCode::Up || key.code == KeyCode::Left) MoveFocus(-1);
  return {};
}

DialogCommand TerminalDialogModel::PressMnemonic(char32_t letter) {
  const char32_t folded = FoldCase(letter);
  const int n = static_cast<int>(controls_.size());
  const int start = FocusIndex() + 1;
  std::vector<int> matches;
  for (int k = 0; k < n; ++k) {
    const int i = ((start + k) % n + n) % n;
    const Control& c = controls_[i];
    if (!c.visible || !c.enabled || c.tpl->kind == ControlKind::ComboBox) continue;
    const MnemonicText m = ParseMnemonic(c.text);
    if (m.mnemonicAt >= 0 && FoldCase(m.mnemonic) == folded) matches.push_back(i);
  }
  if (matches.empty()) return {};
  const int target = matches.front();
  if (IsButton(target)) {
    if (matches.size() == 1) return {DialogCommand::Kind::Button, controls_[target].tpl->id};
    focus_ = target;
    return {};
  }
  // A label's letter goes to the next control after it that can take the focus.
  for (int k = 1; k < n; ++k) {
    const int i = (target + k) % n;
    if (!TakesFocus(controls_[i].tpl->kind)) continue;
    if (CanFocus(i)) focus_ = i;
    break;
  }
  return {};
}

int TerminalDialogModel::NextStartingWith(const Control& c, int after, char32_t letter) const {
  const int count = static_cast<int>(c.items.size());
  for (int k = 1; k <= count; ++k) {
    const int i = ((after + k) % count + count) % count;
    const std::u32string shown = SafeText(c.items[i]);
    if (!shown.empty() && FoldCase(shown[0]) == FoldCase(letter)) return i;
  }
  return -1;
}

DialogCommand TerminalDialogModel::ClosedListKey(int index, const Key& key) {
  Control& c = controls_[index];
  const int count = static_cast<int>(c.items.size());
  const int id = c.tpl->id;
  int next = c.sel;
  switch (key.code) {
    case KeyCode::F4:
      OpenListOf(index);
      return {};
    case KeyCode::Down:
      if (key.alt) {
        OpenListOf(index);
        return {};
      }
      next = std::min(c.sel + 1, count - 1);
      break;
    case KeyCode::Right:
      next = std::min(c.sel + 1, count - 1);
      break;
    case KeyCode::Up:
    case KeyCode::Left:
      next = c.sel < 0 ? 0 : std::max(c.sel - 1, 0);
      break;
    case KeyCode::Home:
      next = 0;
      break;
    case KeyCode::End:
      next = count - 1;
      break;
    case KeyCode::Char:
      if (key.ch == U' ') {
        OpenListOf(index);
        return {};
      }
      next = NextStartingWith(c, c.sel, key.ch);
      break;
    default:
      return {};
  }
  if (count == 0 || next < 0 || next == c.sel) return {};
  c.sel = next;
  return {DialogCommand::Kind::SelChange, id};
}

void TerminalDialogModel::OpenListOf(int index) {
  if (!CanFocus(index) || controls_[index].items.empty()) return;
  focus_ = index;
  openList_ = index;
  listHot_ = std::max(0, controls_[index].sel);
  listTop_ = 0;
  ShowHot();
}

void TerminalDialogModel::ShowHot() {
  const int rows = listRows_[openList_];
  const int count = static_cast<int>(controls_[openList_].items.size());
  listHot_ = std::clamp(listHot_, 0, std::max(0, count - 1));
  if (listHot_ < listTop_) listTop_ = listHot_;
  if (listHot_ >= listTop_ + rows) listTop_ = listHot_ - rows + 1;
  listTop_ = std::clamp(listTop_, 0, std::max(0, count - rows));
}

DialogCommand TerminalDialogModel::OpenListKey(const Key& key) {
  const Control& c = controls_[openList_];
  const int count = static_cast<int>(c.items.size());
  const int rows = listRows_[openList_];
  switch (key.code) {
    case KeyCode::Enter:
      return Pick(listHot_);
    case KeyCode::F4:
      return Pick(listHot_);
    case KeyCode::Escape:
    case KeyCode::Tab:
    case KeyCode::BackTab:
      CloseList();
      return {};
    case KeyCode::Up:
      if (key.alt) return Pick(listHot_);
      listHot_ = std::max(0, listHot_ - 1);
      break;
    case KeyCode::Down:
      listHot_ = std::min(count - 1, listHot_ + 1);
      break;
    case KeyCode::PageUp:
      listHot_ = std::max(0, listHot_ - rows);
      break;
    case KeyCode::PageDown:
      listHot_ = std::min(count - 1, listHot_ + rows);
      break;
    case KeyCode::Home:
      listHot_ = 0;
      break;
    case KeyCode::End:
      listHot_ = count - 1;
      break;
    case KeyCode::Char: {
      if (key.alt) return {};
      const int next = NextStartingWith(c, listHot_, key.ch);
      if (next >= 0) listHot_ = next;
      break;
    }
    default:
      return {};
  }
  ShowHot();
  return {};
}

DialogCommand TerminalDialogModel::Pick(int entry) {
  Control& c = controls_[openList_];
  const int id = c.tpl->id;
  CloseList();
  if (entry < 0 || entry >= static_cast<int>(c.items.size()) || !c.enabled) return {};
  c.sel = entry;
  return {DialogCommand::Kind::SelChange, id};
}

DialogCommand TerminalDialogModel::ClickControl(int index) {
  if (openList_ >= 0) {
    // A click beside the open list closes it and does nothing else, as a pop-up list does.
    CloseList();
    return {};
  }
  if (!CanFocus(index)) return {};
  focus_ = index;
  if (IsButton(index)) return {DialogCommand::Kind::Button, controls_[index].tpl->id};
  OpenListOf(index);
  return {};
}

DialogCommand TerminalDialogModel::ClickListEntry(int entry) {
  if (openList_ < 0) return {};
  return Pick(entry);
}

}  // namespace platform
