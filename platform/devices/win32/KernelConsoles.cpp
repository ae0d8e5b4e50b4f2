#include "platform/devices/KernelConsoles.h"

namespace platform {

// Windows runs no console on a serial line of its own: no port is held back for that reason.
std::vector<std::string> KernelConsoles() {
  return {};
}

bool IsKernelConsole(const std::string&) {
  return false;
}

}  // namespace platform
