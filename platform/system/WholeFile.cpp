#include "platform/system/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

bool ReadBoundedFile(const std::string& path, size_t maxBytes, std::string* contents,
                     std::string* reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return *reason = std::strerror(errno), false;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    *reason = std::strerror(errno);
    ::close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *reason = S_ISDIR(st.st_mode)    ? "a folder, not a regular file"
              : S_ISFIFO(st.st_mode) ? "a FIFO, not a regular file"
                                     : "not a regular file";
    ::close(fd);
    return false;
  }
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    *reason = "larger than " + std::to_string(maxBytes) + " bytes";
    ::close(fd);
    return false;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *reason = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
    // A file that grows while it is read is held to the same bound.
    if (text.size() > maxBytes) {
      *reason = "larger than " + std::to_string(maxBytes) + " bytes";
      ::close(fd);
      return false;
    }
  }
  ::close(fd);
  *contents = std::move(text);
  return true;
}

bool AppendWhole(const std::string& path, const std::string& text, std::string* reason) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return *reason = std::strerror(errno), false;
  ssize_t n;
  do {
    n = ::write(fd, text.data(), text.size());
  } while (n < 0 && errno == EINTR);
  bool ok = n == static_cast<ssize_t>(text.size());
  if (!ok) *reason = n < 0 ? std::strerror(errno) : "the file system took only part of it";
  if (::close(fd) != 0 && ok) {
    *reason = std::strerror(errno);
    ok = false;
  }
  return ok;
}

bool CreateEmpty(const std::string& path, std::string* reason) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CREAT | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return *reason = std::strerror(errno), false;
  if (::close(fd) != 0) return *reason = std::strerror(errno), false;
  return true;
}

}  // namespace platform
