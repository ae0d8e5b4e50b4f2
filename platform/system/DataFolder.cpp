#include "platform/system/DataFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

void MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
  }
}

}  // namespace

std::string DataFolder() {
  std::string folder;
  const char* own = std::getenv("QELM_DATA_DIR");
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  if (own && *own) {
    folder = own;
  } else if (state && *state == '/') {
    folder = std::string(state) + "/qelm-config";
  } else {
    folder = std::string(home && *home ? home : "/tmp") + "/.local/state/qelm-config";
  }
  MakeFolders(folder);
  return folder;
}

std::string DataPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return DataFolder() + "/" + name;
}

}  // namespace platform
