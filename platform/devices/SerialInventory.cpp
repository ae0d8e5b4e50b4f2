#include "platform/devices/SerialInventory.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

namespace platform {

namespace {

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// A tty with a device behind it that is a serial line: USB adapters and modems always; the
// 8250 family only when a UART answered at its address (type not 0, "unknown").
bool SerialTty(const std::string& name) {
  const std::string sys = "/sys/class/tty/" + name;
  struct stat st {};
  if (::stat((sys + "/device").c_str(), &st) != 0) return false;
  if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) return true;
  if (name.rfind("ttyS", 0) == 0 || name.rfind("ttyAMA", 0) == 0) {
    const std::string type = FirstLine(sys + "/type");
    return !type.empty() && type != "0";
  }
  return false;
}

}  // namespace

std::vector<SerialPresent> SerialDevicesPresent() {
  std::vector<SerialPresent> found;
  for (const std::string& name : Entries("/sys/class/tty"))
    if (SerialTty(name)) found.push_back({"/dev/" + name, ""});
  for (const std::string& name : Entries("/dev/serial/by-id")) {
    const std::string link = "/dev/serial/by-id/" + name;
    char real[PATH_MAX];
    if (!::realpath(link.c_str(), real)) continue;
    auto it = std::find_if(found.begin(), found.end(),
                           [&](const SerialPresent& p) { return p.path == real; });
    if (it == found.end())
      found.push_back({real, link});
    else if (it->stable.empty())
      it->stable = link;
  }
  return found;
}

std::vector<DeviceHolder> HoldersOf(const std::string& path) {
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return {};
  return HoldersOfDevice(target.st_rdev);
}

}  // namespace platform
