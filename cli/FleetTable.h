#pragma once
// The fleet's table for a person: a heading line and one line per port (port, result, phase,
// model, firmware, device, link, mode, rate, seconds) in columns, the port column as wide as
// asked. What came from a radio is shown with its control characters escaped. Nothing fails.

#include <cstddef>
#include <string>

#include "cli/CliReport.h"

namespace cli {

// The heading line and one port's line as the fleet prints them, the port column portWidth
// wide.
std::string FleetHeader(size_t portWidth);
std::string FleetLine(const std::string& port, const JobReport& r, size_t portWidth);

}  // namespace cli
