#pragma once
// A job over many ports: one process of qelm-cli per port (the serial port is one per process
// by design), at most --jobs of them at once. As each ends its line is printed (port, result,
// phase, model, firmware, device, link, mode, rate, seconds), or with --json its JSON object,
// then a summary; --report writes the same to a file. What a process says on standard error is
// passed on with its port in brackets. The log's opening and closing lines and its trimming
// belong to the fleet, which also logs one result line per port; each process adds its own
// lines, tagged with its port.
//
// A stop signal is passed on to every process still running (a second one too, which stops
// them at once); ports not yet started are not started and are reported as such.
//
// The result is the worst exit status of the processes (a process that could not be started
// or died without its record counts as 1), or 128 + the signal that stopped the fleet.

#include <atomic>
#include <ostream>
#include <string>

#include "cli/CliOptions.h"

class CLogFile;

namespace cli {

struct JobReport;

// What the fleet's signal watcher reaches: the signal to pass on, from any thread.
class FleetSignals {
 public:
  virtual ~FleetSignals() = default;
  virtual void PassOn(int signal) = 0;
};

// Runs the fleet. *signals is set while the processes run (to null again before returning).
int RunFleet(const CliOptions& options, const std::string& program, CLogFile& log,
             std::ostream& out, std::ostream& err, std::atomic<FleetSignals*>* signals);

// The heading line and one port's line as the fleet prints them, the port column portWidth
// wide.
std::string FleetHeader(size_t portWidth);
std::string FleetLine(const std::string& port, const JobReport& r, size_t portWidth);

}  // namespace cli
