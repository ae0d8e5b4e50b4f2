#include "platform/dialog/text/TextCanvas.h"

#include <algorithm>

#include "platform/system/CodePage.h"

namespace platform {

namespace {

const Cell kOutside{};

}  // namespace

TextCanvas::TextCanvas(int width, int height, bool showsDim)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      showsDim_(showsDim),
      cells_(static_cast<size_t>(width_) * height_) {}

const Cell& TextCanvas::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kOutside;
  return cells_[static_cast<size_t>(y) * width_ + x];
}

void TextCanvas::Put(int x, int y, char32_t ch, uint8_t attr) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  cells_[static_cast<size_t>(y) * width_ + x] = Cell{ch, attr};
}

void TextCanvas::Text(int x, int y, const std::u32string& text, uint8_t attr, int maxWidth) {
  const int n = maxWidth < 0 ? static_cast<int>(text.size())
                             : std::min(maxWidth, static_cast<int>(text.size()));
  for (int i = 0; i < n; ++i) Put(x + i, y, text[i], attr);
}

void TextCanvas::Fill(int x, int y, int w, int h, char32_t ch, uint8_t attr) {
  for (int row = y; row < y + h; ++row)
    for (int col = x; col < x + w; ++col) Put(col, row, ch, attr);
}

void TextCanvas::Box(int x, int y, int w, int h, uint8_t attr) {
  if (w < 2 || h < 2) return;
  for (int col = x + 1; col < x + w - 1; ++col) {
    Put(col, y, U'\u2500', attr);
    Put(col, y + h - 1, U'\u2500', attr);
  }
  for (int row = y + 1; row < y + h - 1; ++row) {
    Put(x, row, U'\u2502', attr);
    Put(x + w - 1, row, U'\u2502', attr);
  }
  Put(x, y, U'\u250C', attr);
  Put(x + w - 1, y, U'\u2510', attr);
  Put(x, y + h - 1, U'\u2514', attr);
  Put(x + w - 1, y + h - 1, U'\u2518', attr);
}

std::u32string TextCanvas::Row(int y) const {
  std::u32string row;
  for (int x = 0; x < width_; ++x) row += At(x, y).ch;
  return row;
}

std::string TextCanvas::Dump() const {
  std::string out;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) AppendUtf8(out, At(x, y).ch);
    out += '\n';
  }
  return out;
}

}  // namespace platform
