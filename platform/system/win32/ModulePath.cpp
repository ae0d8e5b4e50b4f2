#include "platform/system/ModulePath.h"

#include <windows.h>

#include <vector>

#include "platform/system/win32/WinText.h"

namespace platform {

std::u16string ModuleFileName() {
  // Long paths (\\?\ prefixed) can exceed MAX_PATH; grow the buffer until the name fits.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::vector<wchar_t> buf(size);
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), size);
    if (n == 0) return {};
    if (n < size) return win32::U16(buf.data());
  }
  return {};
}

std::u16string ModuleFolder() {
  std::u16string path = ModuleFileName();
  auto slash = path.find_last_of(kFolderSeparators);
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

}  // namespace platform
