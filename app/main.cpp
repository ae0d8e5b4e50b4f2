// QELM Config: the configuration tool for the 2400/2410 spread-spectrum radio modem.
#include <cstdio>

#include "app/CConfigApp.h"
#include "app/ProgramInfo.h"
#include "platform/devices/PortPreferences.h"
#include "platform/dialog/UiChoice.h"
#include "platform/dialog/qt/QtApplication.h"
#include "platform/dialog/text/TextApplication.h"
#include "platform/system/ModulePath.h"

// The one application object, made before main runs.
static CConfigApp theApp;

int main(int argc, char** argv) {
  // --help and --version answer on standard output without any dialog; a failed write (a
  // closed pipe, a full disk) is not reported as success.
  if (const app::InfoRequest info = app::InfoRequestOf(argc, argv);
      info != app::InfoRequest::kNone) {
    const std::string text = app::InfoText(info, platform::ModuleFileName());
    const bool written = std::fputs(text.c_str(), stdout) >= 0;
    return written && std::fflush(stdout) == 0 ? 0 : 1;
  }
  // Started from the desktop, where no QELM_COMn can be set, the ports come from the
  // preferences file's Ports group or the adapters present.
  platform::UsePortPreferences();
  const platform::UiChoice ui = platform::ChooseUi(platform::CurrentUiEnvironment());
  if (!ui.message.empty()) std::fprintf(stderr, "qelm-config: %s\n", ui.message.c_str());
  switch (ui.kind) {
    case platform::UiKind::Qt:
      platform::RunQtApplication(argc, argv);
      return 0;
    case platform::UiKind::Terminal:
      return platform::RunTerminalApplication(argc, argv);
    case platform::UiKind::None:
      break;
  }
  platform::RunWithoutDialogs(argc, argv);
  return 1;
}
