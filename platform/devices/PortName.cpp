#include "platform/devices/PortName.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/devices/PortMap.h"
#include "platform/system/CodePage.h"

namespace platform {

namespace {

std::optional<PortName> Refused(PortNameFault why, PortNameFault* fault) {
  if (fault) *fault = why;
  return std::nullopt;
}

std::optional<PortName> Taken(PortName name, PortNameFault* fault) {
  if (fault) *fault = PortNameFault::kNone;
  return name;
}

PortName Com(int n) {
  PortName name;
  name.kind = PortName::Kind::kCom;
  name.com = n;
  return name;
}

PortName Path(std::string path) {
  PortName name;
  name.kind = PortName::Kind::kPath;
  name.path = std::move(path);
  return name;
}

PortName Network(NetworkPortName network) {
  PortName name;
  name.kind = PortName::Kind::kNetwork;
  name.network = std::move(network);
  return name;
}

// 1 to kMaxComPort for "COM1" onwards (no leading zero); letter case counts only when exact
// is asked.
int ComNumber(std::string_view text, bool exact) {
  if (text.size() < 4 || text.size() > 6 || text[3] == '0') return 0;
  for (size_t i = 0; i < 3; ++i) {
    const char c =
        exact ? text[i] : static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (c != "COM"[i]) return 0;
  }
  int n = 0;
  for (char c : text.substr(3)) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n <= kMaxComPort ? n : 0;
}

bool Utf8(std::string_view text) {
  const std::string bytes(text);
  return WideToUtf8(Utf8ToWide(bytes)) == bytes;
}

// A relative path against the working folder, with "." and ".." steps taken out.
std::optional<std::string> Resolved(std::string_view text) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(std::string(text), error);
  if (error) return std::nullopt;
  std::string path = absolute.lexically_normal().string();
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string PortName::Text() const {
  switch (kind) {
    case Kind::kCom:
      return "COM" + std::to_string(com);
    case Kind::kNetwork:
      return network.Name();
    default:
      return path;
  }
}

std::optional<std::string> PortName::Device() const {
  if (kind != Kind::kCom) return Text();
  std::optional<PortMapping> mapping = MapPort(com, SystemPortSources());
  if (!mapping) return std::nullopt;
  return mapping->device;
}

std::optional<PortName> ParsePortName(std::string_view text, PortNameFault* fault) {
  if (std::any_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return Refused(PortNameFault::kControl, fault);
  if (text.size() > kMaxPortNameBytes) return Refused(PortNameFault::kTooLong, fault);
  if (!Utf8(text)) return Refused(PortNameFault::kNotUtf8, fault);
  if (int n = ComNumber(text, false)) return Taken(Com(n), fault);
  if (LooksLikeNetworkPort(text)) {
    if (auto network = ParseNetworkPort(text)) return Taken(Network(*network), fault);
    return Refused(PortNameFault::kBadNetwork, fault);
  }
  if (text.empty()) return Refused(PortNameFault::kUnknown, fault);
#ifdef _WIN32
  // The system's own name of a COM port's device is the port too; there are no other paths.
  if (text.size() > 4 && text.substr(0, 4) == R"(\\.\)")
    if (int n = ComNumber(text.substr(4), false)) return Taken(Com(n), fault);
  return Refused(PortNameFault::kUnknown, fault);
#endif
  if (text.front() == '/') return Taken(Path(std::string(text)), fault);
  // A bare word is a path only when it names something here: "COM4" stays a wrong port name.
  std::error_code missing;
  const bool relative =
      text.find('/') != std::string_view::npos ||
      std::filesystem::exists(std::filesystem::symlink_status(std::string(text), missing));
  if (!relative) return Refused(PortNameFault::kUnknown, fault);
  std::optional<std::string> path = Resolved(text);
  if (!path) return Refused(PortNameFault::kUnknown, fault);
  if (path->size() > kMaxPortNameBytes) return Refused(PortNameFault::kTooLong, fault);
  return Taken(Path(*path), fault);
}

std::optional<PortName> ParsePortDevice(const std::u16string& portDevice) {
  if (portDevice.size() < 2 || portDevice.back() != u':') return std::nullopt;
  const std::string text = WideToUtf8(portDevice.substr(0, portDevice.size() - 1));
  if (int n = ComNumber(text, true)) return Com(n);
#ifdef _WIN32
  if (text.size() > 4 && text.compare(0, 4, R"(\\.\)") == 0)
    if (int n = ComNumber(std::string_view(text).substr(4), true)) return Com(n);
#endif
  if (LooksLikeNetworkPort(text)) {
    if (auto network = ParseNetworkPort(text)) return Network(*network);
    return std::nullopt;
  }
  if (text.front() == '/' && text.find('\0') == std::string::npos) return Path(text);
  return std::nullopt;
}

std::optional<PortName> ParseDeviceName(std::string_view device, PortNameFault* fault) {
  if (LooksLikeNetworkPort(device)) {
    if (auto network = ParseNetworkPort(device)) return Taken(Network(*network), fault);
    return Refused(PortNameFault::kBadNetwork, fault);
  }
  return Taken(Path(std::string(device)), fault);
}

const char* PortNameFaultText(PortNameFault fault) {
  switch (fault) {
    case PortNameFault::kControl:
      return "control characters";
    case PortNameFault::kTooLong:
      return "too long";
    case PortNameFault::kNotUtf8:
      return "not UTF-8";
    case PortNameFault::kBadNetwork:
      return "not a network port name";
    case PortNameFault::kUnknown:
      return "not a port name";
    default:
      return "";
  }
}

std::optional<std::string> ResolvePortDevice(const std::u16string& portDevice) {
  if (std::optional<PortName> name = ParsePortDevice(portDevice)) return name->Device();
  // A malformed network name goes on to the opener, whose refusal says what is wrong with it.
  if (portDevice.size() < 2 || portDevice.back() != u':') return std::nullopt;
  std::string text = WideToUtf8(portDevice.substr(0, portDevice.size() - 1));
  PortNameFault fault = PortNameFault::kNone;
  if (!ParseDeviceName(text, &fault) && fault == PortNameFault::kBadNetwork) return text;
  return std::nullopt;
}

}  // namespace platform
