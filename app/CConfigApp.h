#pragma once
// The application object of QELM Config: made once at static initialisation with the name
// "QELM Config", it runs the main dialog modally once and ends the program. The main dialog's
// log opens before the command line is looked at and closes (trimming itself) after the dialog
// has ended. Nothing here can fail: a dialog that cannot be shown just ends the run.

#include <string>

#include "platform/dialog/CWinApp.h"

class CConfigApp : public platform::CWinApp {
 public:
  CConfigApp();
  bool InitInstance() override;

  // The service option: the whole command-line text equals "/Service", letter case ignored.
  static bool IsServiceCommandLine(const std::u16string& commandLine);
};
