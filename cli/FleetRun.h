#pragma once
// A job over many ports at once: one process of qelm-cli per port (the serial port is one per
// process by design), all started together. As each ends its line is printed (port, result,
// model, firmware, device, link, mode, rate, seconds), then a summary; what a process says on
// standard error is passed on with its port in brackets. The log's opening and closing lines
// and its trimming belong to the fleet; each process adds its own lines, tagged with its port.
//
// The result is the worst exit status of the processes (a process that could not be started
// or died counts as 1).

#include <ostream>

#include "cli/CliOptions.h"

class CLogFile;

namespace cli {

int RunFleet(const CliOptions& options, const std::string& program, CLogFile& log,
             std::ostream& out, std::ostream& err);

// One port's line as the fleet prints it.
std::string FleetLine(const std::string& port, const struct JobReport& r, double seconds);

}  // namespace cli
