#include "platform/system/Registry.h"

// On Windows the preferences are the system's registry itself. windows.h comes after the
// header: its macros carry the same values as the header's names.
#include <windows.h>

#include "platform/system/win32/WinText.h"

namespace platform {

struct RegistryKey::Impl {
  HKEY key = nullptr;
};

RegistryKey::RegistryKey() : impl_(std::make_unique<Impl>()) {}

RegistryKey::~RegistryKey() {
  Close();
}

std::string RegistryKey::FileForKey(const std::u16string& subKey) {
  return "HKEY_CURRENT_USER\\" + WideToUtf8(subKey);
}

long RegistryKey::Open(const std::u16string& subKey, RegistryAccess access) {
  Close();
  // The header's KEY_QUERY_VALUE is the system's (1); anything else asks to write as well.
  const REGSAM rights = static_cast<int>(access) == KEY_QUERY_VALUE
                            ? KEY_QUERY_VALUE
                            : KEY_QUERY_VALUE | KEY_SET_VALUE;
  return ::RegOpenKeyExW(HKEY_CURRENT_USER, win32::Wide(subKey).c_str(), 0, rights, &impl_->key);
}

long RegistryKey::Create(const std::u16string& subKey) {
  Close();
  return ::RegCreateKeyExW(HKEY_CURRENT_USER, win32::Wide(subKey).c_str(), 0, nullptr,
                           REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                           &impl_->key, nullptr);
}

long RegistryKey::QueryValue(const std::u16string& name, void* data, uint32_t* size) {
  if (!impl_->key || !size) return ERROR_INVALID_HANDLE;
  DWORD type = 0;
  DWORD bytes = *size;
  // The registry itself answers ERROR_MORE_DATA for a value larger than the buffer.
  LONG result = ::RegQueryValueExW(impl_->key, win32::Wide(name).c_str(), nullptr, &type,
                                   static_cast<BYTE*>(data), &bytes);
  *size = bytes;
  return result;
}

long RegistryKey::SetValue(const std::u16string& name, RegistryType type, const void* data,
                           uint32_t size) {
  if (!impl_->key) return ERROR_INVALID_HANDLE;
  if (static_cast<DWORD>(type) != REG_SZ || (size % 2) != 0 || (size > 0 && !data))
    return ERROR_ACCESS_DENIED;
  return ::RegSetValueExW(impl_->key, win32::Wide(name).c_str(), 0, REG_SZ,
                          static_cast<const BYTE*>(data), size);
}

long RegistryKey::Close() {
  if (impl_->key) ::RegCloseKey(impl_->key);
  impl_->key = nullptr;
  return ERROR_SUCCESS;
}

}  // namespace platform
