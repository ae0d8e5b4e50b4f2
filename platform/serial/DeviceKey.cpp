#include "platform/serial/DeviceKey.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform {

std::string DeviceKey(const std::string& device) {
  if (device.empty() || device.front() != '/') return "name:" + device;
  struct stat st {};
  if (::stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode))
    return "char:" + std::to_string(::major(st.st_rdev)) + ":" +
           std::to_string(::minor(st.st_rdev));
  char real[PATH_MAX];
  if (::realpath(device.c_str(), real)) return "path:" + std::string(real);
  return "path:" + device;
}

}  // namespace platform
