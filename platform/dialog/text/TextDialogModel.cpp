#include "platform/dialog/text/TextDialogModel.h"

#include <algorithm>

#include "platform/dialog/DialogConstants.h"
#include "platform/system/SafeText.h"

namespace platform {

namespace {

bool LessNoCase(const std::u16string& a, const std::u16string& b) {
  const std::u32string x = SafeText(a), y = SafeText(b);
  return std::lexicographical_compare(
      x.begin(), x.end(), y.begin(), y.end(),
      [](char32_t p, char32_t q) { return FoldCase(p) < FoldCase(q); });
}

}  // namespace

bool TextDialogModel::TakesFocus(ControlKind kind) {
  return kind == ControlKind::PushButton || kind == ControlKind::DefPushButton ||
         kind == ControlKind::ComboBox;
}

TextDialogModel::TextDialogModel(const DialogTemplate& tpl)
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

TextDialogModel::Control* TextDialogModel::Find(int id) {
  if (id == IDC_STATIC || id == 0) return nullptr;
  for (Control& c : controls_)
    if (c.tpl->id == id) return &c;
  return nullptr;
}

const TextDialogModel::Control* TextDialogModel::Find(int id) const {
  return const_cast<TextDialogModel*>(this)->Find(id);
}

void TextDialogModel::SetEnabled(int id, bool enabled) {
  if (Control* c = Find(id)) c->enabled = enabled;
}

bool TextDialogModel::IsEnabled(int id) const {
  const Control* c = Find(id);
  return c && c->enabled;
}

void TextDialogModel::SetVisible(int id, bool visible) {
  if (Control* c = Find(id)) c->visible = visible;
}

bool TextDialogModel::IsVisible(int id) const {
  const Control* c = Find(id);
  return c && c->visible;
}

void TextDialogModel::SetText(int id, const std::u16string& text) {
  if (id == 0) {
    caption_ = text;
    return;
  }
  Control* c = Find(id);
  if (c && c->tpl->kind != ControlKind::ComboBox) c->text = text;
}

std::u16string TextDialogModel::GetText(int id) const {
  if (id == 0) return caption_;
  const Control* c = Find(id);
  if (!c) return {};
  if (c->tpl->kind != ControlKind::ComboBox) return c->text;
  return c->sel >= 0 && c->sel < static_cast<int>(c->items.size()) ? c->items[c->sel]
                                                                   : std::u16string();
}

void TextDialogModel::ComboReset(int id) {
  Control* c = Find(id);
  if (!c || c->tpl->kind != ControlKind::ComboBox) return;
  c->items.clear();
  c->sel = -1;
  if (openList_ >= 0 && &controls_[openList_] == c) CloseList();
}

int TextDialogModel::ComboAdd(int id, const std::u16string& text) {
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

int TextDialogModel::ComboCount(int id) const {
  const Control* c = Find(id);
  return c ? static_cast<int>(c->items.size()) : 0;
}

std::u16string TextDialogModel::ComboItem(int id, int index) const {
  const Control* c = Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[index];
}

int TextDialogModel::ComboGetSel(int id) const {
  const Control* c = Find(id);
  return c && c->sel >= 0 ? c->sel : CB_ERR;
}

void TextDialogModel::ComboSetSel(int id, int index) {
  Control* c = Find(id);
  if (!c || c->tpl->kind != ControlKind::ComboBox) return;
  c->sel = index >= 0 && index < static_cast<int>(c->items.size()) ? index : -1;
}

bool TextDialogModel::CanFocus(int index) const {
  if (index < 0 || index >= static_cast<int>(controls_.size())) return false;
  const Control& c = controls_[index];
  return TakesFocus(c.tpl->kind) && c.visible && c.enabled;
}

bool TextDialogModel::IsButton(int index) const {
  const ControlKind k = controls_[index].tpl->kind;
  return k == ControlKind::PushButton || k == ControlKind::DefPushButton;
}

int TextDialogModel::FocusIndex() {
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

int TextDialogModel::FocusedId() {
  const int i = FocusIndex();
  return i < 0 ? IDC_STATIC : controls_[i].tpl->id;
}

void TextDialogModel::MoveFocus(int step) {
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

void TextDialogModel::SetListRows(int index, int rows) {
  if (index >= 0 && index < static_cast<int>(listRows_.size()))
    listRows_[index] = std::max(1, rows);
}

// What the keyboard and the mouse do to the dialog as a whole: the keys of the dialog manager
// and mnemonics; the drop-down lists' own keys are in TextDialogModelLists.cpp.

DialogCommand TextDialogModel::HandleKey(const Key& key) {
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
    case KeyCode::Left:
      MoveFocus(-1);
      return {};
    case KeyCode::Right:
      MoveFocus(1);
      return {};
    case KeyCode::Enter:
      // A list is where terminal users most often press Enter: it opens the list (as dialog
      // and whiptail do) instead of becoming the dialog's OK command.
      if (onList) {
        OpenListOf(focused);
        return {};
      }
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
  // Between buttons Up and Down move the focus like Tab, as the controller's dialogs do.
  if (key.code == KeyCode::Down) MoveFocus(1);
  if (key.code == KeyCode::Up) MoveFocus(-1);
  return {};
}

DialogCommand TextDialogModel::PressMnemonic(char32_t letter) {
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

DialogCommand TextDialogModel::ClickControl(int index) {
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

}  // namespace platform
