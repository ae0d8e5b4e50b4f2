#pragma once
// The meeting point of the project's texts and the Windows API: the project keeps paths in
// UTF-8 and wide texts as UTF-16 (std::u16string), the API takes wchar_t, which is UTF-16 on
// Windows; and the project reports errors as errno values, the API as its own codes.
//
// Nothing here fails: text that is not UTF-8 converts with replacement characters, an error
// code without an errno counterpart becomes EIO.

#include <windows.h>

#include <cerrno>
#include <string>

#include "platform/system/CodePage.h"

namespace platform::win32 {

inline std::wstring Wide(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

inline std::wstring Wide(const std::string& utf8) {
  return Wide(Utf8ToWide(utf8));
}

inline std::u16string U16(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

inline std::string Utf8(const wchar_t* text) {
  return WideToUtf8(U16(text));
}

// The errno value the rest of the program knows for a system error code.
inline int ErrnoFromWin32(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TIMEOUT:
    case WAIT_TIMEOUT:
    case ERROR_SEM_TIMEOUT:
      return ETIMEDOUT;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return ENOTTY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

// Sets errno from the calling thread's last system error and returns it.
inline int TakeLastError() {
  errno = ErrnoFromWin32(::GetLastError());
  return errno;
}

}  // namespace platform::win32
