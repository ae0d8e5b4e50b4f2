#pragma once
// The application class of the framework. The program derives one class from it and makes one
// instance at static initialisation; RunApplication then starts the backend (the Qt one for
// the real program, taking the options Qt itself consumes out of argv), keeps the rest of the
// command line as one text, and calls InitInstance once. There is no message loop besides the
// modal dialogs' own; InitInstance returning false ends the program.

#include <string>

namespace platform {

class CDialog;

class CWinApp {
 public:
  explicit CWinApp(const char16_t* appName);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual bool InitInstance() = 0;

  const std::u16string m_pszAppName;
  std::u16string m_lpCmdLine;  // the arguments after the program's name, joined by blanks
  CDialog* m_pMainWnd = nullptr;
};

// The application object made last and still alive; nullptr when there is none.
CWinApp* AfxGetApp();
// The application's name for message-box captions ("" without an application object).
std::u16string AfxAppName();

// Joins the arguments after the program's name with single blanks: the command-line text.
std::u16string CommandLineText(int argc, char** argv);

}  // namespace platform
