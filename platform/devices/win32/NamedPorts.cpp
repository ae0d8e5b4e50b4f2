#include "platform/devices/NamedPorts.h"

// On Windows a port is named as the system names it, COMn (or its device "\\.\COMn"); a
// network name is refused by the opener with its reason.
#include <cerrno>

#include "platform/devices/PortName.h"

namespace platform {

int CheckSerialTerminal(const std::string& path) {
  std::optional<PortName> name = ParsePortName(path);
  return name && name->kind == PortName::Kind::kCom ? 0 : ENOTTY;
}

std::unique_ptr<SerialDevice> NamedPortProvider::CreateFile(const std::u16string& portDevice,
                                                            int* lastError) {
  int dummy = 0;
  if (!lastError) lastError = &dummy;
  failure_.clear();
  std::optional<std::string> device = ResolvePortDevice(portDevice);
  if (!device) {
    *lastError = ENOENT;
    return nullptr;
  }
  auto opened = opener_.Open(*device, lastError);
  failure_ = opener_.FailureText();
  return opened;
}

std::optional<SerialProvider::PortDescription> NamedPortProvider::Describe(
    const std::u16string& portDevice) {
  std::optional<std::string> device = ResolvePortDevice(portDevice);
  if (!device) return std::nullopt;
  return PortDescription{*device, false};
}

}  // namespace platform
