#include "cli/CliPorts.h"

#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliUsage.h"
#include "cli/PortNames.h"
#include "platform/devices/NamedPorts.h"
#include "platform/devices/PortMap.h"
#include "platform/devices/PortName.h"
#include "platform/devices/SerialInventory.h"
#include "platform/system/CodePage.h"
#include "platform/system/SafeText.h"

namespace cli {

namespace {

struct Row {
  std::string com = "-";
  std::string device;
  std::string source;  // how the port map found it; empty when it is not in the map
};

std::string State(platform::NamedPortProvider& ports, const Row& row) {
  const std::u16string name = platform::Utf8ToWide(row.device) + u":";
  auto described = ports.Describe(name);
  if (described && described->console) return "the kernel's console: not opened";
  int error = 0;
  auto device = ports.CreateFile(name, &error);
  if (device) return "opens";
  if (!ports.FailureText().empty()) return "cannot open: " + ports.FailureText();
  if (error == EBUSY) return "busy";
  return std::string("cannot open: ") + std::strerror(error);
}

std::string Holders(const std::string& device) {
  std::string text;
  for (const auto& h : platform::HoldersOf(device))
    text += (text.empty() ? "held by " : ", ") + std::to_string(h.pid) + " (" + h.command + ")";
  return text;
}

}  // namespace

int RunPorts(int argc, char** argv, std::ostream& out, std::ostream& err) {
  std::vector<Row> rows;
  auto listed = [&](const std::string& device) {
    for (const Row& r : rows)
      if (r.device == device) return true;
    return false;
  };
  const platform::PortSources sources = platform::SystemPortSources();
  for (int n = 1; n <= 3; ++n)
    if (auto m = platform::MapPort(n, sources))
      rows.push_back({"COM" + std::to_string(n), m->device, platform::PortSourceName(m->source)});
  for (const auto& present : platform::SerialDevicesPresent()) {
    if (listed(present.path) || (!present.stable.empty() && listed(present.stable))) continue;
    rows.push_back({"-", present.stable.empty() ? present.path : present.stable, ""});
  }
  for (int i = 2; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      out << UsageText("ports");
      return 0;
    }
    platform::PortNameFault fault = platform::PortNameFault::kNone;
    std::optional<platform::PortName> port = platform::ParsePortName(name, &fault);
    if (port && port->kind == platform::PortName::Kind::kCom) {
      // Listed above with its device when it maps to one.
      if (!port->Device()) rows.push_back({port->Text(), "-", "maps to no device"});
      continue;
    }
    // A malformed network name is listed too: its line says why it cannot be opened.
    if (!port && fault != platform::PortNameFault::kBadNetwork) {
      const bool unsafe = fault == platform::PortNameFault::kControl ||
                          fault == platform::PortNameFault::kTooLong ||
                          fault == platform::PortNameFault::kNotUtf8;
      err << "qelm-cli: '" << platform::SafeUtf8(platform::Utf8ToWide(name)) << "' is "
          << (unsafe ? std::string("no port name (") + platform::PortNameFaultText(fault) + ")"
                     : std::string("neither ") + kPortNameForms)
          << "\n"
          << "Try 'qelm-cli ports --help'.\n";
      return 64;
    }
    if (port) name = port->Text();
    if (!listed(name)) rows.push_back({"-", name, "named"});
  }
  platform::NamedPortProvider ports;
  for (const Row& row : rows) {
    std::string line = row.com + "  " + row.device;
    if (!row.source.empty()) line += "  (" + row.source + ")";
    if (row.device != "-") line += "  " + State(ports, row);
    if (platform::CheckSerialTerminal(row.device) == 0)
      if (std::string held = Holders(row.device); !held.empty()) line += "  " + held;
    out << platform::SafeUtf8(platform::Utf8ToWide(line)) << "\n";
  }
  if (rows.empty()) out << "no serial ports\n";
  return 0;
}

}  // namespace cli
