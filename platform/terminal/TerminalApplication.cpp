#include "platform/terminal/TerminalApplication.h"

#include <cstdio>

#include "platform/CWinApp.h"
#include "platform/UiChoice.h"
#include "platform/terminal/CursesTerminal.h"
#include "platform/terminal/TerminalBackend.h"

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
  TerminalBackend backend(*terminal);
  SetBackend(&backend);
  app->m_lpCmdLine = CommandLineText(argc, argv);
  app->InitInstance();
  SetBackend(nullptr);
  return 0;
}

}  // namespace platform
