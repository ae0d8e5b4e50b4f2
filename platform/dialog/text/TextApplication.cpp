#include "platform/dialog/text/TextApplication.h"

#include <cstdio>

#include "platform/dialog/CWinApp.h"
#include "platform/dialog/UiChoice.h"
#include "platform/dialog/text/CursesTerminal.h"
#include "platform/dialog/text/TextBackend.h"

namespace platform {

int RunTerminalApplication(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  std::string whyNot;
  std::unique_ptr<CursesTerminal> terminal = CursesTerminal::Open(&whyNot);
  if (!terminal) {
    std::fprintf(stderr, "qelm-config: cannot use the terminal: %s\n", whyNot.c_str());
    RunWithoutDialogs(argc, argv);
    return 1;
  }
  TextBackend backend(*terminal);
  SetBackend(&backend);
  app->m_lpCmdLine = CommandLineText(argc, argv);
  app->InitInstance();
  SetBackend(nullptr);
  return 0;
}

}  // namespace platform
