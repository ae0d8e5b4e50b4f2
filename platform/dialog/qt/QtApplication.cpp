#include "platform/dialog/qt/QtApplication.h"

#include <QApplication>

#include "platform/dialog/CWinApp.h"
#include "platform/dialog/qt/QtBackend.h"
#include "platform/dialog/qt/ScreenshotWatcher.h"

namespace platform {

int RunQtApplication(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  QApplication qtApp(argc, argv);
  // The modal dialogs end the program by returning from InitInstance, not by closing the
  // last window; a message box closed before the main dialog opens must not quit anything.
  qtApp.setQuitOnLastWindowClosed(false);
  QtBackend backend;
  SetBackend(&backend);
  std::unique_ptr<ScreenshotWatcher> screenshots = ScreenshotWatcher::FromEnvironment();
  // QApplication has removed its own options from argc and argv by now.
  app->m_lpCmdLine = CommandLineText(argc, argv);
  app->InitInstance();
  screenshots.reset();
  SetBackend(nullptr);
  return 0;
}

}  // namespace platform
