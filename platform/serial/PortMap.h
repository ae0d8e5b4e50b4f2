#pragma once
// The controller's serial port names and the Linux devices behind them. "COM1:" to "COM3:" are
// the only names that map to anything: by default /dev/ttyS0 to /dev/ttyS2, each overridden by
// the environment variable QELM_COM1 to QELM_COM3 (for example QELM_COM1=/dev/ttyUSB0). Any
// other name maps to nothing, so nothing else is ever opened.

#include <optional>
#include <string>

namespace platform {

// The device path for a port device name such as u"COM1:", or nothing for any other name.
std::optional<std::string> DevicePathForPort(const std::u16string& portDevice);

}  // namespace platform
