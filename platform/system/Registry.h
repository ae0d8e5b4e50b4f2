#pragma once
// The preferences store, in the shape of the controller's registry: keys under
// HKEY_CURRENT_USER holding string values. A key "Software\<folder>\<name>" is kept in the
// per-user file "<XDG configuration folder>/<folder>/<name>.conf" ($XDG_CONFIG_HOME, else
// ~/.config), read and written through QSettings; every write replaces the file atomically.
//
// On Windows the key is the system's registry itself (RegCreateKeyExW and its kin), and
// FileForKey only names it.
//
// Results are the registry's: 0 (ERROR_SUCCESS) or an error code; nothing throws. A key opened
// for reading that has no file fails with ERROR_FILE_NOT_FOUND; a value larger than the
// caller's buffer fails with ERROR_MORE_DATA, as the registry does. Only a plain file (or a
// link to one) is used: a directory, FIFO or device in its place counts as missing for reading
// and is left alone, refused, when writing. A file larger than 64 KiB, or one Qt cannot read as
// preferences, is not read; creating the key then moves it aside to "<file>.bad" and starts
// afresh, so nothing is lost and the preferences can be stored again.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum : long {
  ERROR_SUCCESS = 0,
  ERROR_FILE_NOT_FOUND = 2,
  ERROR_ACCESS_DENIED = 5,
  ERROR_INVALID_HANDLE = 6,
  ERROR_MORE_DATA = 234,
};

enum RegistryAccess { KEY_QUERY_VALUE = 1, KEY_WRITE = 2 };
enum RegistryType : uint32_t { REG_SZ = 1 };

class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // RegOpenKeyExW under HKEY_CURRENT_USER: the key must exist.
  long Open(const std::u16string& subKey, RegistryAccess access);
  // RegCreateKeyExW under HKEY_CURRENT_USER: creates the key when it is missing.
  long Create(const std::u16string& subKey);
  // RegQueryValueExW without the type: fills data with the value's bytes (a string value is
  // UTF-16 with its terminating zero); *size is the buffer's byte size in, the value's out.
  long QueryValue(const std::u16string& name, void* data, uint32_t* size);
  // RegSetValueExW: size bytes of data (a REG_SZ text includes its terminating zero).
  long SetValue(const std::u16string& name, RegistryType type, const void* data, uint32_t size);
  // RegCloseKey.
  long Close();

  // The file a key is kept in.
  static std::string FileForKey(const std::u16string& subKey);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
