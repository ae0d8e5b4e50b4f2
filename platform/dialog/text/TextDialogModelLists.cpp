// TextDialogModel's drop-down lists: the keys a closed list takes itself, opening it,
// moving and searching in the open list, and picking an entry by key or click.
#include <algorithm>

#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/text/TextDialogModel.h"
#include "platform/system/Clock.h"
#include "platform/system/SafeText.h"

namespace platform {

TypedPrefix& TextDialogModel::Search(int index) {
  // Each list has its own search; another list starts a new one.
  if (searchList_ != index) search_.Forget();
  searchList_ = index;
  return search_;
}

DialogCommand TextDialogModel::ClosedListKey(int index, const Key& key) {
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

void TextDialogModel::OpenListOf(int index) {
  if (!CanFocus(index) || controls_[index].items.empty()) return;
  focus_ = index;
  openList_ = index;
  search_.Forget();
  listHot_ = std::max(0, controls_[index].sel);
  listTop_ = 0;
  ShowHot();
}

void TextDialogModel::ShowHot() {
  const int rows = listRows_[openList_];
  const int count = static_cast<int>(controls_[openList_].items.size());
  listHot_ = std::clamp(listHot_, 0, std::max(0, count - 1));
  if (listHot_ < listTop_) listTop_ = listHot_;
  if (listHot_ >= listTop_ + rows) listTop_ = listHot_ - rows + 1;
  listTop_ = std::clamp(listTop_, 0, std::max(0, count - rows));
}

DialogCommand TextDialogModel::OpenListKey(const Key& key) {
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

DialogCommand TextDialogModel::Pick(int entry) {
  Control& c = controls_[openList_];
  const int id = c.tpl->id;
  CloseList();
  if (entry < 0 || entry >= static_cast<int>(c.items.size()) || !c.enabled) return {};
  c.sel = entry;
  return {DialogCommand::Kind::SelChange, id};
}

DialogCommand TextDialogModel::ClickListEntry(int entry) {
  if (openList_ < 0) return {};
  return Pick(entry);
}

}  // namespace platform
