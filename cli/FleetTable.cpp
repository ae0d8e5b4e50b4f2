#include "cli/FleetTable.h"

#include <cstdio>

namespace cli {

namespace {

constexpr char kHeaderAfterPort[] =
    "RESULT          PHASE       MODEL FW    DEVICE                 LINK MODE   RATE      TIME";

}  // namespace

std::string FleetHeader(size_t portWidth) {
  char line[256];
  std::snprintf(line, sizeof line, "%-*s %s", static_cast<int>(portWidth), "PORT",
                kHeaderAfterPort);
  return line;
}

std::string FleetLine(const std::string& port, const JobReport& r, size_t portWidth) {
  char line[1024];
  std::string device =
      r.deviceIndex >= 0 ? std::to_string(r.deviceIndex) + " " + r.deviceName : "-";
  std::snprintf(line, sizeof line, "%-*s %-15s %-11s %-5s %-5s %-22s %-4s %-6s %-6s %6.1fs",
                static_cast<int>(portWidth), port.c_str(), r.result.c_str(), r.phase.c_str(),
                r.haveSettings ? std::to_string(r.model).c_str() : "-",
                r.haveSettings ? r.firmware.c_str() : "-", r.haveSettings ? device.c_str() : "-",
                r.haveSettings && r.link >= 0 ? std::to_string(r.link).c_str() : "-",
                r.haveSettings && !r.mode.empty() ? r.mode.c_str() : "-",
                r.rate.empty() ? (r.storeJob ? "?" : "-") : r.rate.c_str(), r.seconds);
  return Printable(line);
}

}  // namespace cli
