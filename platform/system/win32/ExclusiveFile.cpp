#include "platform/system/ExclusiveFile.h"

// On Windows the hold is the system's own: the file is opened with share mode 0, so every
// other open of it fails until it is closed. The handle is kept as a C runtime descriptor
// (_open_osfhandle), so that the unit's other calls are the runtime's.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/system/win32/WinText.h"

namespace platform {

namespace {

bool WriteAll(int fd, const void* buf, size_t n) {
  const char* p = static_cast<const char*>(buf);
  while (n > 0) {
    const unsigned chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned>(n);
    int w = ::_write(fd, p, chunk);
    if (w < 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Opens a plain file shared with nobody; -1 (errno set) when it is anything else or held.
int OpenPlain(const std::string& path, DWORD access, DWORD disposition) {
  // A reparse point (a symbolic link, a junction) is opened itself and then refused, never
  // followed; a device name ("COM1", "NUL") is refused by its file type.
  HANDLE h = ::CreateFileW(win32::Wide(path).c_str(), access, 0, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    win32::TakeLastError();
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes &
       (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    ::CloseHandle(h);
    errno = EACCES;
    return -1;
  }
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
  if (fd < 0) ::CloseHandle(h);
  return fd;
}

}  // namespace

bool ExclusiveFile::OpenAlways(const std::string& path, Access access) {
  Close();
  const DWORD rights = access == ReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
  int fd = OpenPlain(path, rights, OPEN_ALWAYS);
  if (fd < 0) return false;
  fd_ = fd;
  path_ = path;
  return true;
}

bool ExclusiveFile::SeekToEnd() {
  return fd_ >= 0 && ::_lseeki64(fd_, 0, SEEK_END) >= 0;
}

bool ExclusiveFile::SeekToStart() {
  return fd_ >= 0 && ::_lseeki64(fd_, 0, SEEK_SET) >= 0;
}

bool ExclusiveFile::SeekTo(int64_t position) {
  return fd_ >= 0 && position >= 0 && ::_lseeki64(fd_, position, SEEK_SET) == position;
}

int64_t ExclusiveFile::Size() const {
  return fd_ >= 0 ? ::_filelengthi64(fd_) : -1;
}

int64_t ExclusiveFile::Position() const {
  return fd_ >= 0 ? ::_telli64(fd_) : -1;
}

bool ExclusiveFile::Truncate(int64_t length) {
  return fd_ >= 0 && ::_chsize_s(fd_, length) == 0 && ::_lseeki64(fd_, length, SEEK_SET) >= 0;
}

long ExclusiveFile::Read(void* buf, size_t n) {
  if (fd_ < 0) return -1;
  const unsigned chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned>(n);
  return ::_read(fd_, buf, chunk);
}

bool ExclusiveFile::Write(const void* buf, size_t n) {
  return fd_ >= 0 && WriteAll(fd_, buf, n);
}

bool ExclusiveFile::Sync() {
  return fd_ >= 0 && ::_commit(fd_) == 0;
}

void ExclusiveFile::Close() {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
}

bool ExclusiveFile::ReplaceWith(const std::string& bytes) {
  if (fd_ < 0) return false;
  const std::string temp = path_ + ".new";
  const std::wstring wideTemp = win32::Wide(temp), widePath = win32::Wide(path_);
  ::DeleteFileW(wideTemp.c_str());
  int fd = OpenPlain(temp, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  if (fd < 0) return false;
  if (!WriteAll(fd, bytes.data(), bytes.size()) || ::_commit(fd) != 0) {
    ::_close(fd);
    ::DeleteFileW(wideTemp.c_str());
    return false;
  }
  // A file held with share mode 0 cannot be renamed over, nor can the held new one be moved:
  // both are let go for the rename and the new file is taken again at once. Another opener
  // that slips into that moment finds the old or the new contents whole, never a mixture.
  ::_close(fd);
  ::_close(fd_);
  fd_ = -1;
  if (!::MoveFileExW(wideTemp.c_str(), widePath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(wideTemp.c_str());
    fd_ = OpenPlain(path_, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (fd_ >= 0) ::_lseeki64(fd_, 0, SEEK_END);
    return false;
  }
  fd_ = OpenPlain(path_, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (fd_ < 0) return false;
  ::_lseeki64(fd_, 0, SEEK_END);
  return true;
}

}  // namespace platform
