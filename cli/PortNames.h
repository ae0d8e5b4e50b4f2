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

namespace cli {

// A port name longer than this is refused (no device or network name comes near it).
constexpr size_t kMaxPortNameBytes = 256;

// COM1 to COM3 (any letter case) or a device path; a name with control characters is refused.
bool PortName(const std::string& text, std::u16string* port, std::string* error);

// One port a line, optionally followed by a link number 0 to 15; '#' starts a comment. The
// file is read as ReadInputText reads it (bounded, regular, UTF-8, a byte-order mark skipped).
bool ReadPortsFile(const std::string& path, std::vector<FleetPort>* ports, std::string* error);
// The same for text already read; source names it in messages.
bool ParsePortsText(const std::string& text, const std::string& source,
                    std::vector<FleetPort>* ports, std::string* error);

// The device behind a port name (the text itself when nothing maps it).
std::string DeviceOfPort(const std::u16string& port);

// False when two of the ports lead to one device.
bool EachDeviceOnce(const std::vector<FleetPort>& ports, std::string* error);

}  // namespace cli
