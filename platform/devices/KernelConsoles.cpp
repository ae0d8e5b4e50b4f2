#include "platform/devices/KernelConsoles.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace platform {

std::vector<std::string> KernelConsoles() {
  std::vector<std::string> consoles;
  std::ifstream in("/proc/consoles");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string name;
    if (words >> name && name.find('/') == std::string::npos && name != "." && name != "..")
      consoles.push_back("/dev/" + name);
  }
  return consoles;
}

bool IsKernelConsole(const std::string& path) {
  struct stat target {};
  if (path.empty() || ::stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return false;
  for (const std::string& console : KernelConsoles()) {
    struct stat st {};
    if (::stat(console.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == target.st_rdev)
      return true;
  }
  return false;
}

}  // namespace platform
