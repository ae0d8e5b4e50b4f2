#include "cli/PortNames.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/serial/DeviceKey.h"
#include "platform/serial/NamedPorts.h"
#include "platform/serial/NetworkPortName.h"
#include "platform/system/CodePage.h"

namespace cli {

bool PortName(const std::string& text, std::u16string* port, std::string* error) {
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
  *error = "the port '" + text + "' is neither COM1, COM2, COM3, a device path nor " +
           "rfc2217://HOST:PORT";
  return false;
}

bool ReadPortsFile(const std::string& path, std::vector<FleetPort>* ports, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read the ports file '" + path + "'";
    return false;
  }
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string name, link, extra;
    if (!(words >> name)) continue;
    FleetPort p;
    if (!PortName(name, &p.port, error)) return false;
    if (words >> link) {
      bool digits = link.size() <= 2 && std::all_of(link.begin(), link.end(), ::isdigit);
      if (!digits || std::stoi(link) > 15 || (words >> extra)) {
        *error = path + " line " + std::to_string(number) + ": 'PORT' or 'PORT LINK' (0 to 15)";
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
    const std::string key = platform::DeviceKey(DeviceOfPort(p.port));
    auto [it, added] = seen.emplace(key, p.port);
    if (added) continue;
    *error = "the ports " + platform::WideToUtf8(it->second) + " and " +
             platform::WideToUtf8(p.port) + " are one device";
    if (it->second == p.port)
      *error = "the port " + platform::WideToUtf8(p.port) + " is named twice";
    return false;
  }
  return true;
}

}  // namespace cli
