#pragma once
// The controller's serial port names and the devices behind them. "COM1:" to "COM3:" are the
// only names that map to anything. Each is taken, in this order, from the environment
// (QELM_COM1 to QELM_COM3), else from the preferences file's Ports group (COM1=...; read only
// by a program that asked for it with UsePortPreferences, PortPreferences.h), else made
// from what is present: COM1 and COM2 are the first two serial adapters by their stable
// /dev/serial/by-id names (without adapters /dev/ttyS0 and /dev/ttyS1), COM3 is /dev/ttyS2. A
// device is a serial terminal's path or a network serial server's name ("rfc2217://HOST:PORT",
// NetworkPortName.h). A line the kernel uses as its console is never a default: it is mapped
// only when the environment or the preferences name it. Any other name maps to nothing, so
// nothing else is ever opened. On Windows COMn is the system's own port "\\.\COMn", for any n
// to kMaxComPort (PortName.h); the dialog lists COM1 to COM3 there too.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class PortSource { kEnvironment, kPreferences, kAdapter, kDefault };

struct PortMapping {
  std::string device;
  PortSource source = PortSource::kDefault;
};

// What the map is made from. The program's come from the system (SystemPortSources); tests
// give their own.
struct PortSources {
  std::function<std::string(int)> environment;  // QELM_COMn, empty when unset
  std::function<std::string(int)> preferences;  // the Ports group's COMn, empty when unset
  std::vector<std::string> adapters;            // /dev/serial/by-id paths, in name order
  std::function<bool(const std::string&)> console;
};

PortSources SystemPortSources();
// Where SystemPortSources takes the preferences' ports from; none unless set.
void SetPortPreferences(std::function<std::string(int)> reader);

// 1 to 3 for "COM1:" to "COM3:" (to kMaxComPort on Windows), nothing for any other name.
std::optional<int> ComPortNumber(const std::u16string& portDevice);
std::optional<PortMapping> MapPort(int number, const PortSources& sources);

// The device for a port device name such as u"COM1:", from the system's sources.
std::optional<std::string> DevicePathForPort(const std::u16string& portDevice);

const char* PortSourceName(PortSource source);

}  // namespace platform
