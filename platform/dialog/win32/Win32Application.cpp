#include "platform/dialog/win32/Win32Application.h"

// clang-format off: the system header comes before the framework's
#include <objbase.h>
#include <shellapi.h>

#include "platform/dialog/win32/WindowsHeader.h"
// clang-format on

#include "platform/dialog/CWinApp.h"
#include "platform/dialog/win32/Win32Backend.h"

namespace platform {

namespace {

// The arguments after the program's name joined by single blanks, as CommandLineText makes
// them from argv elsewhere.
std::u16string ArgumentsText() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return {};
  std::u16string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += u' ';
    line += reinterpret_cast<const char16_t*>(argv[i]);
  }
  LocalFree(argv);
  return line;
}

}  // namespace

int RunWin32Application() {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  // The shell's file opening may use COM, which wants a single-threaded apartment on the
  // thread that calls it.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  Win32Backend backend;
  SetBackend(&backend);
  app->m_lpCmdLine = ArgumentsText();
  app->InitInstance();
  SetBackend(nullptr);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace platform
