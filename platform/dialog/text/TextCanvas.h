#pragma once
// One frame of the terminal screen as a grid of character cells, each with its attributes.
// The backend paints every layer into a canvas and the terminal layer copies it to the
// screen, so what is shown can be read back in tests without a terminal. Box lines are the
// Unicode box-drawing characters; the terminal layer turns them into its own line graphics.
//
// Drawing outside the grid is clipped, never an error. The canvas only holds what it is
// given: texts must already be made safe to show (SafeText).

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum CellAttr : uint8_t {
  kAttrNone = 0,
  kAttrBold = 1,
  kAttrDim = 2,
  kAttrReverse = 4,
  kAttrUnderline = 8,
};

struct Cell {
  char32_t ch = U' ';
  uint8_t attr = kAttrNone;
};

class TextCanvas {
 public:
  // showsDim: whether the terminal shows kAttrDim; where it cannot, painters mark what they
  // would have dimmed in characters instead.
  TextCanvas(int width, int height, bool showsDim = true);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool ShowsDim() const { return showsDim_; }
  const Cell& At(int x, int y) const;

  void Put(int x, int y, char32_t ch, uint8_t attr = kAttrNone);
  // Writes a text from (x, y) on one line; at most maxWidth cells when maxWidth >= 0.
  void Text(int x, int y, const std::u32string& text, uint8_t attr = kAttrNone, int maxWidth = -1);
  void Fill(int x, int y, int w, int h, char32_t ch = U' ', uint8_t attr = kAttrNone);
  // A single-line frame on the outer cells of the rectangle.
  void Box(int x, int y, int w, int h, uint8_t attr = kAttrNone);

  // Row y as plain text (trailing blanks kept), and the whole grid, one row a line.
  std::u32string Row(int y) const;
  std::string Dump() const;  // UTF-8

 private:
  int width_;
  int height_;
  bool showsDim_;
  std::vector<Cell> cells_;
};

}  // namespace platform
