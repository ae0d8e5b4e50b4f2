#include "platform/system/WholeFile.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/system/win32/WinText.h"

namespace platform {

namespace {

std::string Reason() {
  return std::strerror(win32::TakeLastError());
}

// Opens without waiting on anything: a device or pipe name is refused by its file type.
HANDLE OpenFile(const std::string& path, DWORD access, DWORD disposition, std::string* reason) {
  HANDLE h = ::CreateFileW(win32::Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *reason = ::GetLastError() == ERROR_ACCESS_DENIED &&
                      (::GetFileAttributesW(win32::Wide(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY)
                  ? "a folder, not a regular file"
                  : Reason();
    return INVALID_HANDLE_VALUE;
  }
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    *reason = "not a regular file";
    ::CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

}  // namespace

bool ReadBoundedFile(const std::string& path, size_t maxBytes, std::string* contents,
                     std::string* reason) {
  HANDLE h = OpenFile(path, GENERIC_READ, OPEN_EXISTING, reason);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(h, &size) || static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    *reason = "larger than " + std::to_string(maxBytes) + " bytes";
    ::CloseHandle(h);
    return false;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
      *reason = Reason();
      ::CloseHandle(h);
      return false;
    }
    if (n == 0) break;
    text.append(buffer, n);
    // A file that grows while it is read is held to the same bound.
    if (text.size() > maxBytes) {
      *reason = "larger than " + std::to_string(maxBytes) + " bytes";
      ::CloseHandle(h);
      return false;
    }
  }
  ::CloseHandle(h);
  *contents = std::move(text);
  return true;
}

bool AppendWhole(const std::string& path, const std::string& text, std::string* reason) {
  // FILE_APPEND_DATA alone: every write goes to the end, whoever else appends.
  HANDLE h = OpenFile(path, FILE_APPEND_DATA, OPEN_ALWAYS, reason);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool ok = ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) != 0;
  if (!ok)
    *reason = Reason();
  else if (n != text.size())
    ok = false, *reason = "the file system took only part of it";
  ::CloseHandle(h);
  return ok;
}

bool CreateEmpty(const std::string& path, std::string* reason) {
  HANDLE h = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS, reason);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

}  // namespace platform
