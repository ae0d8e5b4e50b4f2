#include "platform/serial/DeviceHolders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace platform {

bool OpenElsewhere(dev_t device) {
  DIR* proc = ::opendir("/proc");
  if (!proc) return false;
  const std::string self = std::to_string(::getpid());
  bool held = false;
  while (dirent* p = ::readdir(proc)) {
    if (p->d_name[0] < '1' || p->d_name[0] > '9' || self == p->d_name) continue;
    const std::string fds = std::string("/proc/") + p->d_name + "/fd";
    DIR* dir = ::opendir(fds.c_str());
    if (!dir) continue;
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
    if (held) break;
  }
  ::closedir(proc);
  return held;
}

}  // namespace platform
