#include "platform/system/ProgramArguments.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/system/win32/WinText.h"

namespace platform {

ProgramArguments::ProgramArguments(int argc, char** argv) : texts_(argv, argv + argc) {
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    if (count == argc) {
      texts_.clear();
      for (int i = 0; i < count; ++i) texts_.push_back(win32::Utf8(wide[i]));
    }
    ::LocalFree(wide);
  }
  ::SetConsoleOutputCP(CP_UTF8);
  Point();
}

void ProgramArguments::Point() {
  pointers_.clear();
  for (std::string& t : texts_) pointers_.push_back(t.data());
  pointers_.push_back(nullptr);
}

}  // namespace platform
