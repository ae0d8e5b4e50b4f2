#pragma once
// Which other processes have a character device open: the one scan of /proc that both the
// exclusive open (TermiosSerial.h) and the ports listing (qelm-cli ports) ask. Another
// program's session on a terminal (a shell, a getty, a terminal program) takes no lock that
// we could see, and TIOCEXCL stops nobody who is root; what /proc shows of other processes'
// open files is the one sign there is. Processes whose files this user may not see count as
// not holding it; nothing here fails.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct DeviceHolder {
  pid_t pid = 0;
  std::string command;  // the process's name
};

// The processes other than this one that hold the device, in the order /proc lists them;
// at most `limit` of them (the scan stops there).
std::vector<DeviceHolder> HoldersOfDevice(dev_t device, size_t limit = SIZE_MAX);

bool OpenElsewhere(dev_t device);

}  // namespace platform
