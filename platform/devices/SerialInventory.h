#pragma once
// What serial devices this machine has, and who has them open: for the listing of ports
// (qelm-cli ports). A device counts when the kernel shows a serial driver behind it (a UART
// that is really there, a USB adapter) or it has a stable /dev/serial/by-id name. Nothing is
// opened here, and nothing fails: what cannot be read is left out.

#include <string>
#include <vector>

#include "platform/devices/DeviceHolders.h"

namespace platform {

struct SerialPresent {
  std::string path;    // /dev/ttyUSB0, /dev/ttyS0, ...
  std::string stable;  // its /dev/serial/by-id name, when it has one
};

std::vector<SerialPresent> SerialDevicesPresent();

// The other processes that have the device at path open (those this user may look at), by
// the one scan of DeviceHolders.h; none when the path is not a character device.
std::vector<DeviceHolder> HoldersOf(const std::string& path);

}  // namespace platform
