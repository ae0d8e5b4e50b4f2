// What the keyboard and the mouse do in a terminal dialog: the keys of the dialog manager,
// mnemonics, and the drop-down lists, closed and open.
#include <algorithm>

#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/terminal/TerminalDialogModel.h"
#include "platform/system/Clock.h"
#include "platform/system/SafeText.h"

namespace platform {

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

TypedPrefix& TerminalDialogModel::Search(int index) {
  // Each list has its own search; another list starts a new one.
  if (searchList_ != index) search_.Forget();
  searchList_ = index;
  return search_;
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
    case KeyCode::Up:
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
      next = Search(index).Next(c.items, c.sel, key.ch, NowMs());
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
  search_.Forget();
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
      const int next = Search(openList_).Next(c.items, listHot_, key.ch, NowMs());
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
