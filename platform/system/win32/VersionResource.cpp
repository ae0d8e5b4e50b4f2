#include "platform/system/VersionResource.h"

// On Windows the version information is the program's VERSIONINFO resource (made by windres
// from resources/VersionInfo.rc.in), read with the system's own version calls.
#include <windows.h>
// The system's names for its wide calls; here they are the project's own functions.
#undef GetFileVersionInfoSize
#undef GetFileVersionInfo
#undef VerQueryValue

#include <cstdio>

#include "platform/system/win32/WinText.h"

namespace platform {

uint32_t GetFileVersionInfoSize(const std::u16string& path) {
  DWORD ignored = 0;
  return ::GetFileVersionInfoSizeW(win32::Wide(path).c_str(), &ignored);
}

bool GetFileVersionInfo(const std::u16string& path, uint32_t size, void* data) {
  if (!data || size == 0) return false;
  return ::GetFileVersionInfoW(win32::Wide(path).c_str(), 0, size, data) != 0;
}

bool VerQueryValue(const void* block, const std::u16string& subBlock, std::u16string* value) {
  if (!block || !value) return false;
  void* found = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block, win32::Wide(subBlock).c_str(), &found, &length) || !found)
    return false;
  char text[32];
  if (subBlock == u"\\") {
    // The fixed file information, as "1.0.0.0".
    if (length < sizeof(VS_FIXEDFILEINFO)) return false;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
    if (fixed->dwSignature != 0xFEEF04BD) return false;
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                  LOWORD(fixed->dwFileVersionLS));
    *value = Utf8ToWide(text);
    return true;
  }
  if (subBlock.rfind(u"\\VarFileInfo\\", 0) == 0) {
    // The translation as the string block's name: language and code page, "040904b0".
    if (length < 4) return false;
    const auto* pair = static_cast<const WORD*>(found);
    std::snprintf(text, sizeof text, "%04x%04x", pair[0], pair[1]);
    *value = Utf8ToWide(text);
    return true;
  }
  // A string value: length counts its characters.
  const auto* chars = static_cast<const char16_t*>(found);
  std::u16string s(chars, length);
  while (!s.empty() && s.back() == u'\0') s.pop_back();
  *value = s;
  return true;
}

}  // namespace platform
