#pragma once
// Starts the program's dialogs in the text terminal: opens the terminal, installs the
// terminal backend, hands the whole argument text to the application object as its command
// line and runs its InitInstance; gives the terminal back at the end. When the terminal
// cannot be opened it prints one line saying why to standard error, runs the application
// without dialogs (its log still opens and closes) and answers non-zero.

namespace platform {

int RunTerminalApplication(int argc, char** argv);

}  // namespace platform
