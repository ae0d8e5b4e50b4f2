#include "platform/devices/NamedPorts.h"

#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/devices/KernelConsoles.h"
#include "platform/devices/PortName.h"

namespace platform {

namespace {

constexpr unsigned kVirtualConsoleMajor = 4;  // minors below 64; serial ports above
constexpr unsigned kTtyAuxMajor = 5;          // /dev/tty, /dev/console, /dev/ptmx
constexpr unsigned kFirstPtySlaveMajor = 136, kLastPtySlaveMajor = 143;

bool TerminalClass(unsigned major, unsigned minor) {
  if (major >= kFirstPtySlaveMajor && major <= kLastPtySlaveMajor) return true;
  std::string link =
      "/sys/dev/char/" + std::to_string(major) + ":" + std::to_string(minor) + "/subsystem";
  char target[PATH_MAX];
  ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return false;
  std::string t(target, static_cast<size_t>(n));
  return t.size() >= 4 && t.compare(t.size() - 4, 4, "/tty") == 0;
}

}  // namespace

int CheckSerialTerminal(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return errno ? errno : ENOENT;
  if (!S_ISCHR(st.st_mode)) return ENOTTY;
  unsigned major = ::major(st.st_rdev), minor = ::minor(st.st_rdev);
  if (major == kTtyAuxMajor || (major == kVirtualConsoleMajor && minor < 64)) return ENOTTY;
  return TerminalClass(major, minor) ? 0 : ENOTTY;
}

std::unique_ptr<SerialDevice> NamedPortProvider::CreateFile(const std::u16string& portDevice,
                                                            int* lastError) {
  int dummy = 0;
  if (!lastError) lastError = &dummy;
  failure_.clear();
  std::optional<std::string> device = ResolvePortDevice(portDevice);
  if (!device) {
    *lastError = ENOENT;
    return nullptr;
  }
  // A malformed network name from the map goes on to the opener, which says what is wrong.
  std::optional<PortName> target = ParseDeviceName(*device);
  if (target && target->kind == PortName::Kind::kPath) {
    if (int error = CheckSerialTerminal(*device); error != 0) {
      *lastError = error;
      return nullptr;
    }
  }
  auto opened = opener_.Open(*device, lastError);
  failure_ = opener_.FailureText();
  return opened;
}

std::optional<SerialProvider::PortDescription> NamedPortProvider::Describe(
    const std::u16string& portDevice) {
  std::optional<std::string> device = ResolvePortDevice(portDevice);
  if (!device) return std::nullopt;
  return PortDescription{*device, IsKernelConsole(*device)};
}

}  // namespace platform
