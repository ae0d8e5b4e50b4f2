#include "platform/dialog/qt/DialogUnits.h"

#include <QFontMetrics>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace platform {

DialogUnits::DialogUnits(const QFont& font) {
  QFontMetrics fm(font);
  const int width =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  // Twice the average over 52 letters, plus one, halved: the average rounded to nearest.
  baseX_ = std::max(1, (width / 26 + 1) / 2);
  baseY_ = std::max(1, fm.height());
}

int DialogUnits::MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const bool negative = (product < 0) != (c < 0);
  const int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace platform
