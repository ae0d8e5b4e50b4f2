#pragma once
// The ports a fleet runs again with --retry-failed: those whose result in an earlier run's
// report (JSON Lines or CSV, as --report writes them) was anything but done, unchanged or
// planned, in the order the report names them, each with the link its ports file gave it
// when the report carries it. A port named more than once counts by its last line. The
// report is read as every input file is (bounded, regular, UTF-8).
//
// Promises on failure: false with a one-line reason naming the report; nothing is kept.

#include <string>
#include <vector>

#include "cli/CliOptions.h"

namespace cli {

// Whether a port with this result needs nothing more.
bool EndedWell(const std::string& result);

bool FailedPorts(const std::string& reportPath, std::vector<FleetPort>* ports, std::string* error);
// The same for a report's text; csv says which form it has.
bool FailedPortsOf(const std::string& text, bool csv, const std::string& source,
                   std::vector<FleetPort>* ports, std::string* error);

}  // namespace cli
