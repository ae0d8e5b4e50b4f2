#include "platform/dialog/qt/ScreenshotWatcher.h"

#include <QApplication>
#include <QEvent>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <cstdio>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/qt/QtDialogWidget.h"

namespace platform {

namespace {
// Long enough for the window to be laid out and painted; QELM_SCREENSHOT_DELAY_MS changes it
// (0: at the first turn of the event loop after the window shows, as the start-up benchmark
// takes it).
int GrabDelayMs() {
  bool ok = false;
  int ms = qEnvironmentVariableIntValue("QELM_SCREENSHOT_DELAY_MS", &ok);
  return ok && ms >= 0 ? ms : 1500;
}
}  // namespace

std::unique_ptr<ScreenshotWatcher> ScreenshotWatcher::FromEnvironment() {
  const QString path = qEnvironmentVariable("QELM_SCREENSHOT");
  if (path.isEmpty()) return nullptr;
  return std::make_unique<ScreenshotWatcher>(path,
                                             !qEnvironmentVariableIsEmpty("QELM_SCREENSHOT_ALL"),
                                             qEnvironmentVariable("QELM_SCREENSHOT_QUIT") == "1");
}

ScreenshotWatcher::ScreenshotWatcher(QString path, bool all, bool quit)
    : path_(std::move(path)), all_(all), quit_(quit) {
  qApp->installEventFilter(this);
}

ScreenshotWatcher::~ScreenshotWatcher() {
  if (qApp) qApp->removeEventFilter(this);
}

bool ScreenshotWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && (armed_ || all_)) {
    auto* window = qobject_cast<QtDialogWidget*>(watched);
    if (window && window->isWindow()) {
      armed_ = false;
      QPointer<QtDialogWidget> guard(window);
      QTimer::singleShot(GrabDelayMs(), this, [this, guard] {
        if (guard && guard->isVisible()) Grab(guard.data());
      });
    }
  }
  return QObject::eventFilter(watched, event);
}

void ScreenshotWatcher::Grab(QtDialogWidget* window) {
  if (window->grab().save(path_, "PNG")) {
    std::printf("screenshot: %s\n", path_.toLocal8Bit().constData());
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "screenshot: cannot write %s\n", path_.toLocal8Bit().constData());
  }
  if (!quit_) return;
  // Dialogs opened on top of the grabbed one would keep the program running: they are
  // cancelled first, the topmost first, for as long as they go.
  for (int depth = 0; depth < 16; ++depth) {
    auto* top = qobject_cast<QtDialogWidget*>(QApplication::activeModalWidget());
    if (!top || top == window) break;
    top->Owner().DispatchCancel();
    if (QApplication::activeModalWidget() == top) break;
  }
  window->Owner().DispatchCancel();
}

}  // namespace platform
