#include "platform/system/ControllingTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

int OpenTerminal() {
  return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

bool StandardErrorSize(int* columns, int* rows) {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
    return false;
  *columns = size.ws_col;
  *rows = size.ws_row;
  return true;
}

bool HaveTerminal() {
  int fd = OpenTerminal();
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::optional<std::string> AskTerminal(const std::string& question,
                                       const std::function<bool()>& cancelled) {
  int fd = OpenTerminal();
  if (fd < 0) return std::nullopt;
  for (size_t done = 0; done < question.size();) {
    ssize_t n = ::write(fd, question.data() + done, question.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  std::string line;
  for (;;) {
    if (cancelled) {
      // The answer is awaited in short spans so that a stop request ends the question.
      if (cancelled()) {
        (void)!::write(fd, "\n", 1);
        ::close(fd);
        return std::nullopt;
      }
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) == 0) continue;
    }
    char c = 0;
    ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (c == '\n') break;
    if (c != '\r') line += c;
  }
  ::close(fd);
  return line;
}

}  // namespace platform
