#include <errno.h>

#include "platform/serial/PortMap.h"
#include "platform/serial/SerialDevice.h"
#include "platform/serial/TermiosSerial.h"

namespace platform {

namespace {

// Port names become device paths here and nowhere else, so an unmapped name never reaches
// the file system.
class TermiosProvider final : public SerialProvider {
 public:
  std::unique_ptr<SerialDevice> CreateFile(const std::u16string& portDevice,
                                           int* lastError) override {
    std::optional<std::string> path = DevicePathForPort(portDevice);
    if (!path) {
      if (lastError) *lastError = ENOENT;
      return nullptr;
    }
    return TermiosSerial::Open(*path, lastError);
  }
};

TermiosProvider termiosProvider;
SerialProvider* installed = nullptr;

}  // namespace

SerialProvider& CurrentSerialProvider() {
  if (installed) return *installed;
  return termiosProvider;
}

void SetSerialProvider(SerialProvider* provider) {
  installed = provider;
}

}  // namespace platform
