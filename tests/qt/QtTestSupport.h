#pragma once
// Small helpers of the Qt backend's tests: showing a window for keyboard input, waiting for
// asynchronous effects, and the dialog-unit rule worked out independently of the backend.

#include <QFontMetrics>
#include <QRect>
#include <QTest>
#include <QWidget>

#include "platform/dialog/DialogTemplate.h"

// Shows a window and waits until it is the active one, which keyboard shortcuts need.
inline bool ShowActive(QWidget* window) {
  window->show();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

// Waits up to a second for a condition (button mnemonics click after a short animation).
template <typename Predicate>
bool WaitFor(Predicate predicate) {
  return QTest::qWaitFor(predicate, 1000);
}

// Pixels of a template rectangle for the dialog's font: a quarter of the rounded average
// letter width and an eighth of the font's height per unit.
struct ExpectedUnits {
  explicit ExpectedUnits(const platform::DialogTemplate& tpl) {
    QFontMetrics fm(QFont(QString::fromStdU16String(tpl.font), tpl.pointSize));
    const double average =
        fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
    baseX = static_cast<int>(average + 0.5);
    baseY = fm.height();
  }
  int X(int dlu) const { return (dlu * baseX + 2) / 4; }
  int Y(int dlu) const { return (dlu * baseY + 4) / 8; }
  QRect Rect(const platform::ControlTemplate& c) const {
    return QRect(X(c.x), Y(c.y), X(c.cx), Y(c.cy));
  }
  int baseX = 0;
  int baseY = 0;
};
