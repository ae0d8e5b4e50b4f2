#include "cli/PortNames.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

#include "cli/InputText.h"
#include "platform/serial/DeviceKey.h"
#include "platform/serial/NamedPorts.h"
#include "platform/serial/NetworkPortName.h"
#include "platform/system/CodePage.h"

namespace cli {

bool PortName(const std::string& text, std::u16string* port, std::string* error) {
  size_t bad = 0;
  const bool control = std::any_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  if (control || text.size() > kMaxPortNameBytes || !IsUtf8(text, &bad)) {
    *error = "the port '" + Quoted(text) + "' is no port name (" +
             (control                           ? "control characters"
              : text.size() > kMaxPortNameBytes ? "too long"
                                                : "not UTF-8") +
             ")";
    return false;
  }
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  if (upper == "COM1" || upper == "COM2" || upper == "COM3") {
    *port = platform::Utf8ToWide(upper);
    return true;
  }
  if (!text.empty() && text.front() == '/' && text.find_first_of("\r\n") == std::string::npos) {
    *port = platform::Utf8ToWide(text);
    return true;
  }
  if (auto network = platform::ParseNetworkPort(text)) {
    *port = platform::Utf8ToWide(network->Name());
    return true;
  }
  *error = "the port '" + Quoted(text) + "' is neither COM1, COM2, COM3, a device path nor " +
           "rfc2217://HOST:PORT";
  return false;
}

bool ReadPortsFile(const std::string& path, std::vector<FleetPort>* ports, std::string* error) {
  std::string text;
  if (!ReadInputText(path, "the ports file", &text, error)) return false;
  return ParsePortsText(text, path, ports, error);
}

bool ParsePortsText(const std::string& text, const std::string& source,
                    std::vector<FleetPort>* ports, std::string* error) {
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string name, link, extra;
    if (!(words >> name)) continue;
    FleetPort p;
    if (!PortName(name, &p.port, error)) {
      *error = Quoted(source) + " line " + std::to_string(number) + ": " + *error;
      return false;
    }
    if (words >> link) {
      bool digits = link.size() <= 2 && std::all_of(link.begin(), link.end(), ::isdigit);
      if (!digits || std::stoi(link) > 15 || (words >> extra)) {
        *error = Quoted(source) + " line " + std::to_string(number) +
                 ": 'PORT' or 'PORT LINK' (0 to 15)";
        return false;
      }
      p.link = std::stoi(link);
    }
    ports->push_back(p);
  }
  return true;
}

std::string DeviceOfPort(const std::u16string& port) {
  auto device = platform::ResolvePortDevice(port + u":");
  return device ? *device : platform::WideToUtf8(port);
}

bool EachDeviceOnce(const std::vector<FleetPort>& ports, std::string* error) {
  std::map<std::string, std::u16string> seen;
  for (const FleetPort& p : ports) {
    // The key two port names are compared by: one device, however it is named.
    const std::string key = platform::DeviceKey(DeviceOfPort(p.port));
    auto [it, added] = seen.emplace(key, p.port);
    if (added) continue;
    *error = "the ports " + Quoted(platform::WideToUtf8(it->second)) + " and " +
             Quoted(platform::WideToUtf8(p.port)) + " are one device";
    if (it->second == p.port)
      *error = "the port " + Quoted(platform::WideToUtf8(p.port)) + " is named twice";
    return false;
  }
  return true;
}

}  // namespace cli
