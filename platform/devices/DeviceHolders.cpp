#include "platform/devices/DeviceHolders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace platform {

namespace {

std::string CommandOf(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/comm");
  std::string line;
  std::getline(in, line);
  return line;
}

bool HasOpen(const std::string& pid, dev_t device) {
  const std::string fds = "/proc/" + pid + "/fd";
  DIR* dir = ::opendir(fds.c_str());
  if (!dir) return false;
  bool held = false;
  while (dirent* f = ::readdir(dir)) {
    if (f->d_name[0] == '.') continue;
    struct stat st {};
    if (::stat((fds + "/" + f->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
        st.st_rdev == device) {
      held = true;
      break;
    }
  }
  ::closedir(dir);
  return held;
}

}  // namespace

std::vector<DeviceHolder> HoldersOfDevice(dev_t device, size_t limit) {
  std::vector<DeviceHolder> holders;
  DIR* proc = ::opendir("/proc");
  if (!proc) return holders;
  const std::string self = std::to_string(::getpid());
  while (holders.size() < limit) {
    dirent* p = ::readdir(proc);
    if (!p) break;
    if (p->d_name[0] < '1' || p->d_name[0] > '9' || self == p->d_name) continue;
    if (HasOpen(p->d_name, device))
      holders.push_back({static_cast<pid_t>(std::stol(p->d_name)), CommandOf(p->d_name)});
  }
  ::closedir(proc);
  std::sort(holders.begin(), holders.end(),
            [](const DeviceHolder& a, const DeviceHolder& b) { return a.pid < b.pid; });
  return holders;
}

bool OpenElsewhere(dev_t device) {
  return !HoldersOfDevice(device, 1).empty();
}

}  // namespace platform
