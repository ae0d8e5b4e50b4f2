#pragma once
// Serial ports named either as the controller named them ("COM1" to "COM3", through the port
// map of PortMap.h), by a device path that the user gives (for example /dev/ttyUSB0 or a
// pseudo-terminal) or by a network serial server's name ("rfc2217://HOST:PORT"). A path must
// lead to a serial terminal: a character device of the terminal class, not the controlling
// terminal, /dev/console, a virtual console or the pseudo-terminal multiplexer. Nothing else
// is ever opened, not even to look. A serial line the kernel uses as its console opens only
// because it was named, with a warning on standard error.
//
// Promises on failure: CreateFile returns nullptr with an errno value, ENOENT for a name that
// maps to nothing or a path that does not exist, ENOTTY for one that is not a serial terminal,
// and otherwise what opening the device gave (EBUSY when another program holds it).

#include <memory>
#include <optional>
#include <string>

#include "platform/devices/DeviceOpener.h"
#include "platform/devices/PortName.h"
#include "platform/devices/SerialDevice.h"

namespace platform {

// 0 when the path names a serial terminal device, else the errno value saying why not.
int CheckSerialTerminal(const std::string& path);

class NamedPortProvider final : public SerialProvider {
 public:
  // The port device as CSerialPort forms it: the port name followed by ":".
  std::unique_ptr<SerialDevice> CreateFile(const std::u16string& portDevice,
                                           int* lastError) override;
  std::string FailureText() const override { return failure_; }
  std::optional<PortDescription> Describe(const std::u16string& portDevice) override;

 private:
  DeviceOpener opener_;
  std::string failure_;
};

}  // namespace platform
