#include "cli/OpenWatch.h"

#include <cerrno>
#include <cstring>

namespace cli {

std::unique_ptr<platform::SerialDevice> OpenWatch::CreateFile(const std::u16string& portDevice,
                                                              int* lastError) {
  int error = 0;
  auto device = inner_.CreateFile(portDevice, &error);
  if (lastError) *lastError = error;
  if (!device) lastOpenError_ = error;
  return device;
}

std::string OpenProblem(int error) {
  switch (error) {
    case EBUSY:
      return "busy: another program has it open";
    case EACCES:
    case EPERM:
      return "permission denied (add the user to the 'dialout' group, then log in again)";
    case ENOTTY:
      return "not a serial terminal";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "no such device";
    default:
      return std::strerror(error);
  }
}

}  // namespace cli
