#include "platform/dialog/text/TextLayout.h"

#include <algorithm>

namespace platform {

namespace {

constexpr int kUnitsPerColumn = 4;
constexpr int kUnitsPerRow = 8;
// A drop-down list's closed box is about one button high; the rest of its template height is
// the dropped-down list.
constexpr int kClosedComboUnits = 14;
// A text line's middle lies this far above the middle of the box it is centred in (units),
// which puts a label and the list or button beside it in the same row.
constexpr int kTextRaise = 3;

int Column(int units) {
  return (units + kUnitsPerColumn / 2) / kUnitsPerColumn;
}

bool IsOneLine(const ControlTemplate& c) {
  switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::ComboBox:
      return true;
    case ControlKind::Label:
      // Room for a second line of text means the label is meant to wrap.
      return c.cy < 2 * kUnitsPerRow && c.text.find(u'\n') == std::u16string::npos;
    case ControlKind::GroupBox:
      break;
  }
  return false;
}

}  // namespace

int CentredStart(int area, int size) {
  return std::max(0, (area - size) / 2);
}

DialogCells LayoutDialog(const DialogTemplate& tpl) {
  DialogCells cells;
  // Rounded up, so that a control reaching the template's right edge keeps a blank column.
  cells.width = std::max(1, (tpl.cx + kUnitsPerColumn - 1) / kUnitsPerColumn);
  cells.height = std::max(1, tpl.cy / kUnitsPerRow);
  for (const ControlTemplate& c : tpl.controls) {
    ControlCells cc;
    CellRect& r = cc.rect;
    r.x = Column(c.x);
    r.w = std::max(1, Column(c.x + c.cx) - r.x);
    if (IsOneLine(c)) {
      const int height = c.kind == ControlKind::ComboBox ? std::min(c.cy, kClosedComboUnits) : c.cy;
      // The row holding the text's middle; the text sits a little above the box's middle.
      r.y = std::max(0, c.y + height / 2 - kTextRaise) / kUnitsPerRow;
      r.h = 1;
    } else if (c.kind == ControlKind::GroupBox) {
      r.y = c.y / kUnitsPerRow;
      r.h = std::max(2, (c.y + c.cy) / kUnitsPerRow - r.y + 1);
    } else {
      r.y = c.y / kUnitsPerRow;
      r.h = std::max(1, (c.y + c.cy) / kUnitsPerRow - r.y);
    }
    // Nothing may leave the client area, whatever the template says.
    r.x = std::clamp(r.x, 0, cells.width - 1);
    r.y = std::clamp(r.y, 0, cells.height - 1);
    r.w = std::min(r.w, cells.width - r.x);
    r.h = std::min(r.h, cells.height - r.y);
    if (c.kind == ControlKind::ComboBox)
      cc.listRows = std::max(1, (c.cy - kClosedComboUnits) / kUnitsPerRow);
    cells.controls.push_back(cc);
  }

  // A one-line label may grow into the free cells of its row, up to the nearest other
  // control (group boxes aside, whose inside is free) on either side.
  for (size_t i = 0; i < tpl.controls.size(); ++i) {
    if (tpl.controls[i].kind != ControlKind::Label || !IsOneLine(tpl.controls[i])) continue;
    ControlCells& label = cells.controls[i];
    label.roomLeft = 0;
    label.roomRight = cells.width;
    for (size_t j = 0; j < tpl.controls.size(); ++j) {
      if (j == i || tpl.controls[j].kind == ControlKind::GroupBox) continue;
      const CellRect& o = cells.controls[j].rect;
      if (label.rect.y < o.y || label.rect.y >= o.y + o.h) continue;
      if (o.x >= label.rect.x + label.rect.w)
        label.roomRight = std::min(label.roomRight, o.x);
      else if (o.x + o.w <= label.rect.x)
        label.roomLeft = std::max(label.roomLeft, o.x + o.w);
    }
    // Inside a group box the frame's lines are not free.
    for (size_t j = 0; j < tpl.controls.size(); ++j) {
      if (tpl.controls[j].kind != ControlKind::GroupBox) continue;
      const CellRect& g = cells.controls[j].rect;
      if (!g.Contains(label.rect.x, label.rect.y)) continue;
      label.roomLeft = std::max(label.roomLeft, g.x + 1);
      label.roomRight = std::min(label.roomRight, g.x + g.w - 1);
    }
    label.roomLeft = std::min(label.roomLeft, label.rect.x);
    label.roomRight = std::max(label.roomRight, label.rect.x + label.rect.w);
  }
  return cells;
}

}  // namespace platform
