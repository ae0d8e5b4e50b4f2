#pragma once
// What serial devices this machine has, and who has them open: for the listing of ports
// (qelm-cli ports). A device counts when the kernel shows a serial driver behind it (a UART
// that is really there, a USB adapter) or it has a stable /dev/serial/by-id name. Nothing is
// opened here, and nothing fails: what cannot be read is left out.

#include <sys/types.h>

#include <string>
#include <vector>

namespace platform {

struct SerialPresent {
  std::string path;    // /dev/ttyUSB0, /dev/ttyS0, ...
  std::string stable;  // its /dev/serial/by-id name, when it has one
};

std::vector<SerialPresent> SerialDevicesPresent();

struct DeviceHolder {
  pid_t pid = 0;
  std::string command;  // the process's name
};

// The other processes that have the device at path open (those this user may look at).
std::vector<DeviceHolder> HoldersOf(const std::string& path);

}  // namespace platform
