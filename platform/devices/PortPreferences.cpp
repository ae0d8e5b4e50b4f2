#include "platform/devices/PortPreferences.h"

#include "platform/devices/PortMap.h"
#include "platform/system/Registry.h"

namespace platform {

namespace {

// The preferences key of the tool (the dialog's Port and Baudrate live beside the group).
const char16_t kPreferencesKey[] = u"Software\\Morva Fendral\\QELM Config Tool";
constexpr uint32_t kValueBytes = 1024;

}  // namespace

std::string PortFromPreferences(int n) {
  RegistryKey key;
  if (key.Open(kPreferencesKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return {};
  char16_t buffer[kValueBytes / 2] = {};
  uint32_t size = sizeof buffer;
  const std::u16string name = u"Ports/COM" + std::u16string(1, static_cast<char16_t>(u'0' + n));
  if (key.QueryValue(name, buffer, &size) != ERROR_SUCCESS) return {};
  std::string text;
  for (const char16_t* c = buffer; *c; ++c) {
    if (*c > 0x7E || *c < 0x20) return {};
    text.push_back(static_cast<char>(*c));
  }
  return text;
}

void UsePortPreferences() {
  SetPortPreferences(PortFromPreferences);
}

}  // namespace platform
