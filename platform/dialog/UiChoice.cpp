#include "platform/dialog/UiChoice.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/dialog/CWinApp.h"
#include "platform/dialog/DialogBackend.h"

namespace platform {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

UiEnvironment CurrentUiEnvironment() {
  UiEnvironment env;
  if (const char* forced = std::getenv("QELM_UI")) env.forced = forced;
  env.display = Set("DISPLAY") || Set("WAYLAND_DISPLAY");
  env.qtPlatform = Set("QT_QPA_PLATFORM");
  env.stdinTerminal = isatty(STDIN_FILENO) == 1;
  env.stdoutTerminal = isatty(STDOUT_FILENO) == 1;
  return env;
}

UiChoice ChooseUi(const UiEnvironment& env) {
  const bool terminal = env.stdinTerminal && env.stdoutTerminal;
  if (env.forced == "qt") return {UiKind::Qt, ""};
  if (env.forced == "terminal") {
    if (terminal) return {UiKind::Terminal, ""};
    return {UiKind::None,
            "QELM_UI=terminal, but standard input and output are not a terminal: no dialog can "
            "be shown."};
  }
  std::string note;
  if (!env.forced.empty())
    note = "QELM_UI=" + env.forced + " is neither \"qt\" nor \"terminal\"; choosing by itself.";
  if (env.display || env.qtPlatform) return {UiKind::Qt, note};
  if (terminal) return {UiKind::Terminal, note};
  return {UiKind::None,
          "no display (DISPLAY, WAYLAND_DISPLAY) and no terminal on standard input and output: "
          "no dialog can be shown. Run it in a terminal, or set QELM_UI=qt with a display."};
}

void RunWithoutDialogs(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  if (!app) return;
  SetBackend(nullptr);
  app->m_lpCmdLine = CommandLineText(argc, argv);
  app->InitInstance();
}

}  // namespace platform
