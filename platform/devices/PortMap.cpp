#include "platform/devices/PortMap.h"

#ifndef _WIN32
#include <dirent.h>
#endif

#include <algorithm>
#include <cstdlib>

#include "platform/devices/KernelConsoles.h"
#include "platform/devices/PortName.h"

namespace platform {

namespace {

std::function<std::string(int)>& PreferencesReader() {
  static std::function<std::string(int)> reader;
  return reader;
}

std::string FromEnvironment(int n) {
  const char* value = std::getenv(("QELM_COM" + std::to_string(n)).c_str());
  return value ? std::string(value) : std::string();
}

std::vector<std::string> SerialAdapters() {
  std::vector<std::string> found;
#ifndef _WIN32
  const std::string folder = "/dev/serial/by-id";
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') found.push_back(folder + "/" + e->d_name);
    ::closedir(dir);
  }
#endif
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

PortSources SystemPortSources() {
  return {FromEnvironment, PreferencesReader(), SerialAdapters(), IsKernelConsole};
}

void SetPortPreferences(std::function<std::string(int)> reader) {
  PreferencesReader() = std::move(reader);
}

std::optional<int> ComPortNumber(const std::u16string& portDevice) {
  std::optional<PortName> name = ParsePortDevice(portDevice);
  if (!name || name->kind != PortName::Kind::kCom) return std::nullopt;
  return name->com;
}

std::optional<PortMapping> MapPort(int n, const PortSources& sources) {
#ifdef _WIN32
  // On Windows a COM port is the system's own port of that number.
  (void)sources;
  if (n < 1 || n > kMaxComPort) return std::nullopt;
  return PortMapping{R"(\\.\COM)" + std::to_string(n), PortSource::kDefault};
#endif
  if (n < 1 || n > 3) return std::nullopt;
  if (std::string e = sources.environment ? sources.environment(n) : ""; !e.empty())
    return PortMapping{e, PortSource::kEnvironment};
  if (std::string p = sources.preferences ? sources.preferences(n) : ""; !p.empty())
    return PortMapping{p, PortSource::kPreferences};
  auto console = [&](const std::string& d) { return sources.console && sources.console(d); };
  std::vector<std::string> adapters;
  for (const std::string& a : sources.adapters)
    if (!console(a)) adapters.push_back(a);
  if (n <= 2 && adapters.size() >= static_cast<size_t>(n))
    return PortMapping{adapters[n - 1], PortSource::kAdapter};
  const std::string fallback = "/dev/ttyS" + std::to_string(n - 1);
  if (console(fallback)) return std::nullopt;
  return PortMapping{fallback, PortSource::kDefault};
}

std::optional<std::string> DevicePathForPort(const std::u16string& portDevice) {
  std::optional<PortName> name = ParsePortDevice(portDevice);
  if (!name || name->kind != PortName::Kind::kCom) return std::nullopt;
  return name->Device();
}

const char* PortSourceName(PortSource source) {
  switch (source) {
    case PortSource::kEnvironment:
      return "environment";
    case PortSource::kPreferences:
      return "preferences";
    case PortSource::kAdapter:
      return "adapter";
    default:
      return "default";
  }
}

}  // namespace platform
