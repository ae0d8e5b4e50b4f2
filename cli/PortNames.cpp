#include "cli/PortNames.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>
#include <system_error>

#include "cli/InputText.h"
#include "platform/devices/DeviceKey.h"
#include "platform/devices/PortName.h"
#include "platform/system/CodePage.h"

namespace cli {

bool PortName(const std::string& text, std::u16string* port, std::string* error) {
  platform::PortNameFault fault = platform::PortNameFault::kNone;
  std::optional<platform::PortName> name = platform::ParsePortName(text, &fault);
  if (name) {
    *port = platform::Utf8ToWide(name->Text());
    return true;
  }
  if (fault == platform::PortNameFault::kControl || fault == platform::PortNameFault::kTooLong ||
      fault == platform::PortNameFault::kNotUtf8) {
    *error = "the port '" + Quoted(text) + "' is no port name (" +
             platform::PortNameFaultText(fault) + ")";
    return false;
  }
  *error = "the port '" + Quoted(text) + "' is neither " + kPortNameForms;
  return false;
}

bool ReadPortsFile(const std::string& path, std::vector<FleetPort>* ports, std::string* error) {
  std::error_code failed;
  if (std::filesystem::is_directory(path, failed)) {
    *error =
        "cannot read the ports file '" + Quoted(path) + "': is a directory, not a regular file";
    return false;
  }
  std::string text;
  if (!ReadInputText(path, "the ports file", &text, error)) return false;
  const size_t before = ports->size();
  if (!ParsePortsText(text, path, ports, error)) return false;
  if (ports->size() == before) {
    *error = Quoted(path) + ": the ports file names no port";
    return false;
  }
  return true;
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
  const std::string text = platform::WideToUtf8(port);
  std::optional<platform::PortName> name = platform::ParsePortName(text);
  std::optional<std::string> device = name ? name->Device() : std::nullopt;
  return device ? *device : text;
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
