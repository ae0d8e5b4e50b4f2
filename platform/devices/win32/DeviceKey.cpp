#include "platform/devices/DeviceKey.h"

// On Windows a port is known by its number: "COM3", "com3" and "\\.\COM3" are one port. A
// network name (refused on Windows, but still told apart) by its text.
#include "platform/devices/PortName.h"

namespace platform {

std::string NetworkDeviceKey(const NetworkPortName& name) {
  return "name:" + name.Endpoint();
}

std::string DeviceKey(const std::string& device) {
  std::optional<PortName> name = ParsePortName(device);
  if (name && name->kind == PortName::Kind::kCom) return "com:" + std::to_string(name->com);
  if (name && name->kind == PortName::Kind::kNetwork) return NetworkDeviceKey(name->network);
  return "name:" + device;
}

}  // namespace platform
