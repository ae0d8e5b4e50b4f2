#include "platform/devices/SerialInventory.h"

// On Windows the system lists its serial ports itself, under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM (each value's data a port name, "COM3").
#include <windows.h>

#include <algorithm>

#include "platform/system/win32/WinText.h"

namespace platform {

namespace {

// "COM3" before "COM10": by the number, then by the text.
bool PortOrder(const SerialPresent& a, const SerialPresent& b) {
  if (a.path.size() != b.path.size()) return a.path.size() < b.path.size();
  return a.path < b.path;
}

}  // namespace

std::vector<SerialPresent> SerialDevicesPresent() {
  std::vector<SerialPresent> found;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
    return found;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    wchar_t data[256];
    DWORD nameSize = 256, dataSize = sizeof data - sizeof(wchar_t), type = 0;
    LONG r = ::RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                             &dataSize);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataSize / sizeof(wchar_t)] = L'\0';
    const std::string port = win32::Utf8(data);
    if (port.empty()) continue;
    found.push_back({R"(\\.\)" + port, ""});
  }
  ::RegCloseKey(key);
  std::sort(found.begin(), found.end(), PortOrder);
  return found;
}

// The system does not say who holds a port; opening it says whether someone does.
std::vector<DeviceHolder> HoldersOf(const std::string&) {
  return {};
}

}  // namespace platform
