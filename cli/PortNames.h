#pragma once
// Ports as the user names them on qelm-cli's command line and in a ports file, the device
// each name leads to, and the check that no device is named twice under two spellings
// ("/dev/ttyUSB0", a link to it, COM1 mapped to it).
//
// Promises on failure: each function returns false with a one-line reason; nothing is opened.

#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "platform/devices/PortName.h"

namespace cli {

// A port name longer than this is refused (no device or network name comes near it).
constexpr size_t kMaxPortNameBytes = platform::kMaxPortNameBytes;

// What a port name may be, as the messages that refuse one say it.
constexpr const char* kPortNameForms = "COM1, COM2, COM3, a device path nor rfc2217://HOST:PORT";

// A port as platform::ParsePortName takes it (COM1 to COM3 in any letter case, a device path,
// a relative one resolved against the working folder, or a network name), in its normal form:
// "COM1", the absolute path, the network name. A name with control characters is refused.
bool PortName(const std::string& text, std::u16string* port, std::string* error);

// One port a line, optionally followed by a link number 0 to 15; '#' starts a comment. The
// file is read as ReadInputText reads it (bounded, regular, UTF-8, a byte-order mark skipped);
// a folder, or a file that names no port, is refused.
bool ReadPortsFile(const std::string& path, std::vector<FleetPort>* ports, std::string* error);
// The same for text already read; source names it in messages.
bool ParsePortsText(const std::string& text, const std::string& source,
                    std::vector<FleetPort>* ports, std::string* error);

// The device behind a port name (the text itself when nothing maps it).
std::string DeviceOfPort(const std::u16string& port);

// False when two of the ports lead to one device.
bool EachDeviceOnce(const std::vector<FleetPort>& ports, std::string* error);

}  // namespace cli
