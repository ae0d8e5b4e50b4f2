#pragma once
// Which dialog backend the program runs on. A display (DISPLAY or WAYLAND_DISPLAY, or a Qt
// platform named in QT_QPA_PLATFORM) means the Qt windows; without one, a terminal on
// standard input and output means the terminal backend; QELM_UI=qt or QELM_UI=terminal
// forces either. With neither, the program has nothing to show its dialogs on: it says so
// in one line, runs without dialogs (the main dialog's run ends at once, so the log gets its
// opening and closing lines) and ends with a non-zero status.
//
// The choice itself is pure, on a snapshot of the environment, so it can be tested.

#include <string>

namespace platform {

enum class UiKind { Qt, Terminal, None };

struct UiEnvironment {
  std::string forced;  // QELM_UI
  bool display = false;
  bool qtPlatform = false;
  bool stdinTerminal = false;
  bool stdoutTerminal = false;
};

struct UiChoice {
  UiKind kind = UiKind::None;
  std::string message;  // one line for standard error, empty when there is nothing to say
};

UiEnvironment CurrentUiEnvironment();
UiChoice ChooseUi(const UiEnvironment& env);

// Runs the application object's InitInstance with no backend installed: every modal run ends
// at once. The command line is set as with any backend.
void RunWithoutDialogs(int argc, char** argv);

}  // namespace platform
