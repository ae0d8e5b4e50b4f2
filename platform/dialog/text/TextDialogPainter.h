#pragma once
// Draws one dialog into a terminal canvas and tells what a screen cell holds, for clicks.
// The dialog is a frame with the caption centred in its title line (a busy mark at its left
// while the wait cursor is shown, a close box "[x]" at its right when the template has one),
// its controls at their cells: buttons as "< Text >", drop-down lists as "[Text   v]", labels
// and group boxes as text and lines. The mnemonic letter is underlined, disabled controls are
// dim (where the terminal has no dim attribute, a disabled button reads "- Text -" and a
// disabled list "[Text----]"), hidden ones are not drawn, the focused control is in reverse video;
// an open drop-down list is drawn last, over whatever lies below it, and kept on the screen.
//
// Painting never fails: what does not fit is clipped.

#include "platform/dialog/text/TextCanvas.h"
#include "platform/dialog/text/TextDialogModel.h"
#include "platform/dialog/text/TextLayout.h"

namespace platform {

class TextDialogPainter {
 public:
  struct Hit {
    enum class Kind { Nothing, Control, ListEntry, OutsideList, CloseBox };
    Kind kind = Kind::Nothing;
    int index = -1;  // control index, or list entry
  };

  TextDialogPainter(TextDialogModel& model, const DialogCells& cells);

  // Where the frame's top-left cell goes: centred on a screen of that size.
  int FrameX(int screenWidth) const;
  int FrameY(int screenHeight) const;

  void Paint(TextCanvas& canvas, bool active, bool busy);
  Hit HitTest(int x, int y, int screenWidth, int screenHeight);

  // The open list's box on the screen (w = 0 when no list is open).
  CellRect ListBox(int screenWidth, int screenHeight);

 private:
  CellRect ScreenRect(int index, int screenWidth, int screenHeight) const;
  void PaintLabel(TextCanvas& canvas, int index, int fx, int fy);
  void PaintButton(TextCanvas& canvas, int index, int fx, int fy, bool focused);
  void PaintCombo(TextCanvas& canvas, int index, int fx, int fy, bool focused);
  void PaintGroup(TextCanvas& canvas, int index, int fx, int fy);
  void PaintTitle(TextCanvas& canvas, int fx, int fy, bool active, bool busy);
  void PaintList(TextCanvas& canvas);

  TextDialogModel& model_;
  const DialogCells& cells_;
};

}  // namespace platform
