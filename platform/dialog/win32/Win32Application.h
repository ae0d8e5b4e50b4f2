#pragma once
// The start of the window program on Windows: installs the Win32 dialog backend, hands the
// command line after the program's name to the application object (from the system's own
// wide command line, so that no argument goes through the ANSI code page) and calls its
// InitInstance once. There is no message loop besides the modal dialogs' own: when
// InitInstance returns, the program ends.

namespace platform {

// 0 once InitInstance has returned; 1 when there is no application object to run.
int RunWin32Application();

}  // namespace platform
