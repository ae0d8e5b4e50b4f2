#pragma once
// Where a dialog template's controls go in character cells. A column is four dialog units and
// a row eight, the average character of the template's font: the main dialog (145 by 113
// units) becomes 37 by 14 cells inside its frame, small enough for an 80 by 24 terminal.
// Controls one text line high (buttons, drop-down lists, short labels) take the row their
// middle falls in; taller labels and group boxes span the rows they cover. A label whose text
// is longer than its rectangle may use the free cells beside it on its row (`room`), since
// character cells are coarser than the font the template was drawn for.
//
// Pure arithmetic on the template; nothing here fails. Rectangles are relative to the
// dialog's client area (inside the frame).

#include <vector>

#include "platform/dialog/DialogTemplate.h"

namespace platform {

struct CellRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  bool Intersects(const CellRect& o) const {
    return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
  }
};

struct ControlCells {
  CellRect rect;
  // For one-line labels: the first and the past-the-end column the text may use on its row.
  int roomLeft = 0, roomRight = 0;
  int listRows = 0;  // drop-down lists: entries the open list shows at once
};

struct DialogCells {
  int width = 0, height = 0;           // client area
  std::vector<ControlCells> controls;  // in template order
  int FrameWidth() const { return width + 2; }
  int FrameHeight() const { return height + 2; }
};

DialogCells LayoutDialog(const DialogTemplate& tpl);

// The top-left cell that centres a w by h box in an area (never negative).
int CentredStart(int area, int size);

}  // namespace platform
