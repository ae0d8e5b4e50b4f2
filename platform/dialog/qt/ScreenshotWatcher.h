#pragma once
// A development aid for looking at the program's windows without a person at the screen.
// When QELM_SCREENSHOT names a file, the first dialog window shown is grabbed about 1.5 s
// after it appears and saved there as PNG; with QELM_SCREENSHOT_ALL every later dialog
// window shown replaces the picture. With QELM_SCREENSHOT_QUIT=1 the grabbed window, and
// before it any dialog opened on top of it, then receives the cancel command, as if the user
// had pressed Escape. The only output is one
// line "screenshot: <path>" on stdout per saved picture; a picture that cannot be saved is
// reported on stderr, and the cancel command is given all the same.

#include <QObject>
#include <QString>
#include <memory>

namespace platform {

class QtDialogWidget;

class ScreenshotWatcher : public QObject {
  Q_OBJECT

 public:
  // A watcher installed on the application, or nullptr when QELM_SCREENSHOT is not set.
  static std::unique_ptr<ScreenshotWatcher> FromEnvironment();

  ScreenshotWatcher(QString path, bool all, bool quit);
  ~ScreenshotWatcher() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Grab(QtDialogWidget* window);

  QString path_;
  bool all_;
  bool quit_;
  bool armed_ = true;  // no window has been scheduled yet
};

}  // namespace platform
