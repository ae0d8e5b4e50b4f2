#pragma once
// The start of the real program on Qt Widgets: makes the QApplication (which takes Qt's own
// options such as -platform out of argv), installs the Qt dialog backend, hands the rest of
// the command line to the application object and calls its InitInstance once. There is no
// event loop besides the modal dialogs' own: when InitInstance returns, the program ends.

namespace platform {

// 0 once InitInstance has returned; 1 when there is no application object to run.
int RunQtApplication(int argc, char** argv);

}  // namespace platform
