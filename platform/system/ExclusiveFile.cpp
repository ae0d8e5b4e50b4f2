#include "platform/system/ExclusiveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

bool WriteAll(int fd, const void* buf, size_t n) {
  const char* p = static_cast<const char*>(buf);
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

std::string Folder(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

bool ExclusiveFile::OpenAlways(const std::string& path, Access access) {
  Close();
  // Only a plain file is ever written: a symbolic link put in the file's place is not
  // followed (it could lead anywhere), and a FIFO or device there must neither block the open
  // nor take the bytes.
  int flags =
      (access == ReadWrite ? O_RDWR : O_WRONLY) | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) return false;
  // A file without any write permission is read-only, as a file with the read-only attribute
  // is on the controller, even for the superuser (who would otherwise write it regardless).
  struct stat mode {};
  if (::fstat(fd, &mode) != 0 || !S_ISREG(mode.st_mode) || (mode.st_mode & 0222) == 0) {
    ::close(fd);
    errno = EACCES;
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  // The hold is on the file, not the name: a file replaced by ReplaceWith while another
  // holder waited must be looked at again, so check that the name still leads to this file.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  struct stat byFd {
  }, byName{};
  if (::fstat(fd, &byFd) != 0 || ::stat(path.c_str(), &byName) != 0 ||
      byFd.st_ino != byName.st_ino || byFd.st_dev != byName.st_dev) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

bool ExclusiveFile::SeekToEnd() {
  return fd_ >= 0 && ::lseek(fd_, 0, SEEK_END) >= 0;
}

bool ExclusiveFile::SeekToStart() {
  return fd_ >= 0 && ::lseek(fd_, 0, SEEK_SET) >= 0;
}

bool ExclusiveFile::SeekTo(int64_t position) {
  return fd_ >= 0 && position >= 0 && ::lseek(fd_, position, SEEK_SET) == position;
}

int64_t ExclusiveFile::Size() const {
  struct stat st {};
  return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t ExclusiveFile::Position() const {
  return fd_ >= 0 ? ::lseek(fd_, 0, SEEK_CUR) : -1;
}

bool ExclusiveFile::Truncate(int64_t length) {
  return fd_ >= 0 && ::ftruncate(fd_, length) == 0 && ::lseek(fd_, length, SEEK_SET) >= 0;
}

long ExclusiveFile::Read(void* buf, size_t n) {
  if (fd_ < 0) return -1;
  for (;;) {
    ssize_t r = ::read(fd_, buf, n);
    if (r < 0 && errno == EINTR) continue;
    return static_cast<long>(r);
  }
}

bool ExclusiveFile::Write(const void* buf, size_t n) {
  return fd_ >= 0 && WriteAll(fd_, buf, n);
}

bool ExclusiveFile::Sync() {
  return fd_ >= 0 && ::fsync(fd_) == 0;
}

void ExclusiveFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool ExclusiveFile::ReplaceWith(const std::string& bytes) {
  if (fd_ < 0) return false;
  std::string temp = path_ + ".new";
  // Whatever an earlier, interrupted replacement (or anyone else) left under the side name
  // goes; the new file is created afresh, never through a link found there.
  ::unlink(temp.c_str());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // Hold the new file before it gets the name, so no other opener slips in between.
  bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && WriteAll(fd, bytes.data(), bytes.size()) &&
            ::fsync(fd) == 0;
  struct stat old {};
  if (ok && ::fstat(fd_, &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  if (!ok || ::rename(temp.c_str(), path_.c_str()) != 0) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  int dir = ::open(Folder(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  ::close(fd_);
  fd_ = fd;
  ::lseek(fd_, 0, SEEK_END);
  return true;
}

}  // namespace platform
