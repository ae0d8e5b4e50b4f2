#include "platform/dialog/qt/QtTypeAhead.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace platform {

namespace {

// A queued pass can bring more window-system events (the ones converted from what was read
// from the display); a few passes empty the queue, and the bound keeps a flood from holding
// the box back.
constexpr int kMaxPasses = 8;

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
      return true;
    default:
      return false;
  }
}

}  // namespace

void QtTypeAhead::BusyBegan() {
  ++depth_;
  typedWhileBusy_ = true;
  WatchForIdle();
}

void QtTypeAhead::BusyEnded() {
  if (depth_ > 0) --depth_;
}

void QtTypeAhead::WatchForIdle() {
  if (watching_) return;
  QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
  if (!dispatcher) return;
  watching_ = true;
  // The loop is about to sleep: the queue is empty, so nothing typed while busy is left.
  QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
    if (depth_ == 0) typedWhileBusy_ = false;
  });
}

void QtTypeAhead::BeforeKeyboard() {
  if (!typedWhileBusy_) return;
  QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
  if (dispatcher && QCoreApplication::instance()) {
    // Everything queued is delivered now, through a filter that keeps the input from the
    // tool's windows; the rest (painting, timers) goes where it would have gone anyway.
    QCoreApplication::instance()->installEventFilter(this);
    for (int pass = 0; pass < kMaxPasses; ++pass)
      if (!dispatcher->processEvents(QEventLoop::AllEvents)) break;
    QCoreApplication::instance()->removeEventFilter(this);
  }
  // Under a cursor still up, what comes from now on is typed while busy again.
  typedWhileBusy_ = depth_ > 0;
}

bool QtTypeAhead::eventFilter(QObject* watched, QEvent* event) {
  if (!IsUserInput(event->type())) return false;
  if (!watched->isWidgetType() && !watched->isWindowType()) return false;
  ++discarded_;
  return true;
}

}  // namespace platform
