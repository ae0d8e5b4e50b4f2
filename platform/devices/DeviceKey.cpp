#include "platform/devices/DeviceKey.h"

#include <arpa/inet.h>
#include <limits.h>
#include <netdb.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <vector>

#include "platform/devices/PortName.h"

namespace platform {

std::string NetworkDeviceKey(const NetworkPortName& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.host.c_str(), name.port.c_str(), &hints, &found) != 0 || !found)
    return "name:" + name.Endpoint();
  std::vector<std::string> v4, v6;
  for (addrinfo* a = found; a; a = a->ai_next) {
    char text[INET6_ADDRSTRLEN] = {};
    if (a->ai_family == AF_INET &&
        ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr, text,
                    sizeof text))
      v4.emplace_back(text);
    else if (a->ai_family == AF_INET6 &&
             ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr, text,
                         sizeof text))
      v6.emplace_back(text);
  }
  ::freeaddrinfo(found);
  const std::vector<std::string>& family = v4.empty() ? v6 : v4;
  if (family.empty()) return "name:" + name.Endpoint();
  return "net:" + *std::min_element(family.begin(), family.end()) + "," + name.port;
}

std::string DeviceKey(const std::string& device) {
  std::optional<PortName> name = ParseDeviceName(device);
  if (name && name->kind == PortName::Kind::kNetwork) return NetworkDeviceKey(name->network);
  if (!name) return "name:" + device;  // a malformed network name
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
