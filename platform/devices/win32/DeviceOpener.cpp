#include "platform/devices/DeviceOpener.h"

#include <cerrno>

#include "platform/devices/PortName.h"
#include "platform/devices/win32/Win32Serial.h"

namespace platform {

namespace {

// The system's name of a COM port's device: "\\.\COM" and a number.
bool IsComDevice(const std::string& device) {
  if (device.size() < 8 || device.compare(0, 7, R"(\\.\COM)") != 0) return false;
  return device.find_first_not_of("0123456789", 7) == std::string::npos && device[7] != '0';
}

}  // namespace

uint32_t DeviceOpener::ConnectBudgetMs() const {
  return kMinConnectBudgetMs;
}

std::unique_ptr<SerialDevice> DeviceOpener::Open(const std::string& device, int* lastError) {
  int dummy = 0;
  if (!lastError) lastError = &dummy;
  failure_.clear();
  std::optional<PortName> target = ParseDeviceName(device);
  if (!target || target->kind == PortName::Kind::kNetwork) {
    *lastError = EINVAL;
    failure_ = "network ports are not available on Windows in this version";
    return nullptr;
  }
  if (!IsComDevice(device)) {
    *lastError = ENOENT;
    return nullptr;
  }
  return Win32Serial::Open(device, lastError);
}

}  // namespace platform
