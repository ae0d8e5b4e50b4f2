#include "platform/system/ModulePath.h"

#include <unistd.h>

#include <vector>

#include "platform/system/CodePage.h"

namespace platform {

std::u16string ModuleFileName() {
  std::vector<char> buf(4096);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return {};
  return Utf8ToWide(std::string(buf.data(), static_cast<size_t>(n)));
}

std::u16string ModuleFolder() {
  std::u16string path = ModuleFileName();
  auto slash = path.rfind(u'/');
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

}  // namespace platform
