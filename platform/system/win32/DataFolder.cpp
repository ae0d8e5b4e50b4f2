#include "platform/system/DataFolder.h"

#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdlib>

#include "platform/system/win32/WinText.h"

namespace platform {

namespace {

// The user's local application data folder ("%LOCALAPPDATA%"), empty when the shell cannot
// say.
std::string LocalAppData() {
  PWSTR folder = nullptr;
  std::string path;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder)))
    path = win32::Utf8(folder);
  ::CoTaskMemFree(folder);
  return path;
}

void MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/')
      ::CreateDirectoryW(win32::Wide(path.substr(0, i)).c_str(), nullptr);
  }
}

}  // namespace

std::string DataFolder() {
  std::string folder;
  const char* own = std::getenv("QELM_DATA_DIR");
  if (own && *own) {
    folder = own;
  } else {
    std::string base = LocalAppData();
    if (base.empty()) {
      const char* temp = std::getenv("TEMP");
      base = temp && *temp ? temp : ".";
    }
    folder = base + "\\Morva Fendral\\QELM Config Tool";
  }
  MakeFolders(folder);
  return folder;
}

std::string DataPath(const std::string& name) {
  if (name.find_first_of("/\\:") != std::string::npos) return name;
  return DataFolder() + "\\" + name;
}

}  // namespace platform
