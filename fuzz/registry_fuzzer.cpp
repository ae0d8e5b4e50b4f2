// The preferences file reader: any file in the place of the preferences is read or refused,
// never crashes; a value that reads fits the 255-character buffer with its terminating zero.
// Then a value of any length and characters (the input as UTF-16) is written and read back:
// the same text up to its first zero when it fits, "more data" when it does not.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "platform/system/Registry.h"

namespace {

const char16_t kKey[] = u"Software\\Morva Fendral\\QELM Config Tool";

// Text a user could have in a combo box: characters of the basic plane, controls included,
// but not the ones Unicode reserves (surrogates, noncharacters) nor U+FEFF, which Qt's UTF-8
// file takes for a byte-order mark.
bool PlainText(const std::u16string& s) {
  for (char16_t c : s)
    if ((c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE || c == 0xFEFF || (c >= 0xFDD0 && c <= 0xFDEF))
      return false;
  return true;
}

std::string File() {
  std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  std::string folder = base + "/qelm-registry-fuzz-" + std::to_string(::getpid());
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  std::string file = platform::RegistryKey::FileForKey(kKey);
  std::filesystem::create_directories(std::filesystem::path(file).parent_path());
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string file = File();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  char16_t buffer[255];
  {
    platform::RegistryKey key;
    if (key.Open(kKey, platform::KEY_QUERY_VALUE) == platform::ERROR_SUCCESS) {
      for (const char16_t* name : {u"Port", u"Baudrate"}) {
        uint32_t bytes = sizeof buffer;
        if (key.QueryValue(name, buffer, &bytes) != platform::ERROR_SUCCESS) continue;
        if (bytes > sizeof buffer || bytes % 2 != 0 || bytes == 0 || buffer[bytes / 2 - 1] != 0)
          fuzz::Broken("a value read fits the buffer and ends in its zero");
      }
    }
  }

  std::u16string value;
  for (size_t i = 0; i + 1 < size; i += 2)
    value += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  {
    platform::RegistryKey key;
    if (key.Create(kKey) != platform::ERROR_SUCCESS) return 0;  // a file Qt will not rewrite
    key.SetValue(u"Port", platform::REG_SZ, value.c_str(),
                 static_cast<uint32_t>((value.size() + 1) * sizeof(char16_t)));
  }
  std::u16string stored = value.substr(0, value.find(u'\0'));
  platform::RegistryKey key;
  if (key.Open(kKey, platform::KEY_QUERY_VALUE) != platform::ERROR_SUCCESS)
    fuzz::Broken("a key just written opens");
  uint32_t bytes = sizeof buffer;
  long r = key.QueryValue(u"Port", buffer, &bytes);
  if (!PlainText(stored)) return 0;
  if (stored.size() >= 255) {
    if (r != platform::ERROR_MORE_DATA) fuzz::Broken("a value too long for the buffer");
    return 0;
  }
  if (r != platform::ERROR_SUCCESS || std::u16string(buffer) != stored)
    fuzz::Broken("a value reads back as written");
  return 0;
}
