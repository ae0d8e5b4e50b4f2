#include <errno.h>

#include "platform/devices/DeviceOpener.h"
#include "platform/devices/KernelConsoles.h"
#include "platform/devices/PortMap.h"
#include "platform/devices/PortName.h"
#include "platform/devices/SerialDevice.h"

namespace platform {

namespace {

// The dialog program's ports: COM1 to COM3 through the port map, and nothing else. Port names
// become device names here and nowhere else, so an unmapped name never reaches the file
// system.
class PortMapProvider final : public SerialProvider {
 public:
  std::unique_ptr<SerialDevice> CreateFile(const std::u16string& portDevice,
                                           int* lastError) override {
    failure_.clear();
    std::optional<std::string> device = DevicePathForPort(portDevice);
    if (!device) {
      if (lastError) *lastError = ENOENT;
      return nullptr;
    }
    auto opened = opener_.Open(*device, lastError);
    failure_ = opener_.FailureText();
    return opened;
  }
  std::string FailureText() const override { return failure_; }
  // A network port is listed without asking its server, and a console that was named without
  // opening it: the start-up list must neither wait for the network nor touch the console.
  bool Listable(const std::u16string& portDevice) override {
    std::optional<std::string> device = DevicePathForPort(portDevice);
    if (!device) return false;
    PortNameFault fault = PortNameFault::kNone;
    std::optional<PortName> target = ParseDeviceName(*device, &fault);
    if (fault == PortNameFault::kBadNetwork) return false;
    if (target && target->kind == PortName::Kind::kNetwork) return true;
    if (IsKernelConsole(*device)) return true;
    return SerialProvider::Listable(portDevice);
  }
  std::optional<PortDescription> Describe(const std::u16string& portDevice) override {
    std::optional<std::string> device = DevicePathForPort(portDevice);
    if (!device) return std::nullopt;
    return PortDescription{*device, IsKernelConsole(*device)};
  }

 private:
  DeviceOpener opener_;
  std::string failure_;
};

PortMapProvider portMapProvider;
SerialProvider* installed = nullptr;

}  // namespace

SerialProvider& CurrentSerialProvider() {
  if (installed) return *installed;
  return portMapProvider;
}

void SetSerialProvider(SerialProvider* provider) {
  installed = provider;
}

}  // namespace platform
