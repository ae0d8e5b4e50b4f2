#pragma once
// Converts dialog units to pixels for one dialog font, by the rule the dialogs were drawn for:
// the horizontal base unit is the rounded average width of the Latin letters, the vertical one
// the font's height; a dialog unit is a quarter of the first and an eighth of the second.
// Nothing here can fail: a font that measures as nothing still gets base units of one pixel.

#include <QFont>
#include <QRect>

namespace platform {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int BaseX() const { return baseX_; }
  int BaseY() const { return baseY_; }
  int X(int dlu) const { return MulDiv(dlu, baseX_, 4); }
  int Y(int dlu) const { return MulDiv(dlu, baseY_, 8); }
  QRect Rect(int x, int y, int cx, int cy) const { return QRect(X(x), Y(y), X(cx), Y(cy)); }

  // a * b / c rounded to the nearest integer, halves away from zero; -1 when c is 0.
  static int MulDiv(int a, int b, int c);

 private:
  int baseX_ = 1;
  int baseY_ = 1;
};

}  // namespace platform
