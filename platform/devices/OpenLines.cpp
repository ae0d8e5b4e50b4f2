#include "platform/devices/OpenLines.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <map>
#include <mutex>
#include <optional>

namespace platform {

namespace {

std::mutex& Guard() {
  static std::mutex m;
  return m;
}

std::map<int, std::optional<termios2>>& Lines() {
  static std::map<int, std::optional<termios2>> lines;
  return lines;
}

}  // namespace

void RememberLine(int fd, const termios2* saved) {
  std::lock_guard<std::mutex> lock(Guard());
  Lines()[fd] = saved ? std::optional<termios2>(*saved) : std::nullopt;
}

void ForgetLine(int fd) {
  std::lock_guard<std::mutex> lock(Guard());
  Lines().erase(fd);
}

void RestoreOpenLines() {
  std::lock_guard<std::mutex> lock(Guard());
  for (auto& [fd, saved] : Lines()) {
    if (saved) ::ioctl(fd, TCSETS2, &*saved);
    ::ioctl(fd, TIOCNXCL);
  }
}

}  // namespace platform
