// QELM Config on Windows: the configuration tool for the 2400/2410 spread-spectrum radio
// modem, as a window program (the GUI subsystem: no console opens with it).
#include <cstdio>

#include "app/CConfigApp.h"
#include "app/ProgramInfo.h"
#include "platform/dialog/win32/Win32Application.h"
#include "platform/system/ModulePath.h"

// The one application object, made before main runs.
static CConfigApp theApp;

// The C runtime's start-up for a window program calls main with the command line split; the
// application object takes its own wide copy from the system.
int main(int argc, char** argv) {
  // --help and --version answer on standard output, where the starter gave one (a console or
  // a pipe); a failed write is not reported as success.
  if (const app::InfoRequest info = app::InfoRequestOf(argc, argv);
      info != app::InfoRequest::kNone) {
    const std::string text = app::InfoText(info, platform::ModuleFileName());
    const bool written = std::fputs(text.c_str(), stdout) >= 0;
    return written && std::fflush(stdout) == 0 ? 0 : 1;
  }
  return platform::RunWin32Application();
}
