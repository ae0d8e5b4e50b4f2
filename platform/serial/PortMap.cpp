#include "platform/serial/PortMap.h"

#include <cstdlib>

namespace platform {

std::optional<std::string> DevicePathForPort(const std::u16string& portDevice) {
  if (portDevice.size() != 5 || portDevice.compare(0, 3, u"COM") != 0 || portDevice[4] != u':')
    return std::nullopt;
  char16_t digit = portDevice[3];
  if (digit < u'1' || digit > u'3') return std::nullopt;
  int n = digit - u'0';
  std::string var = "QELM_COM" + std::to_string(n);
  const char* over = std::getenv(var.c_str());
  if (over && *over) return std::string(over);
  return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace platform
