#pragma once
// A job over many ports: one process of qelm-cli per port (the serial port is one per process
// by design), at most --jobs of them at once. As each ends its line is printed (port, result,
// phase, model, firmware, device, link, mode, rate, seconds), or with --json its JSON object,
// then a summary. What a process says on standard error is passed on with its port in
// brackets. The log's opening and closing lines and its trimming belong to the fleet; each
// process adds its own lines, tagged with its port, its result line among them.
//
// No outcome is lost with the fleet: each process appends its own JSON object to the report
// (for a .csv report, to the JSON Lines file beside it, "REPORT.csv.jsonl") and its result
// line to the log when it ends, so that a fleet killed outright leaves every port's outcome
// behind. The fleet adds the lines of ports it never started, and the summary; a CSV report
// is written whole at the end, in the order of the ports given. A report that cannot be
// written makes the status at least 1.
//
// The whole run is also logged to a file of its own, runs/fleet-START.log under the state
// folder, named in the summary; the newest kKeptRunLogs run logs are kept.
//
// Stop signals come through the fleet's own wait (a signalfd): the first is passed on to every
// process still running and no port starts any more; a second is passed on too, which stops
// them at once. A process that runs longer than its bound (twice --wait, plus
// kChildSlackSeconds) is ended outright and reported so, with what its radio holds unknown.
//
// The result is the worst status of the ports' lines (a process that could not be started or
// died without its record counts as 1; a port stopped by a signal has 128 + the signal), and
// the summary's worst status is the same.

#include <ostream>
#include <string>

#include "cli/CliOptions.h"
#include "cli/FleetTable.h"

class CLogFile;

namespace cli {

struct JobReport;

constexpr int kKeptRunLogs = 20;
constexpr int kChildSlackSeconds = 120;

// Runs the fleet; commandLine is logged at the head of its run log.
int RunFleet(const CliOptions& options, const std::string& program, const std::string& commandLine,
             CLogFile& log, std::ostream& out, std::ostream& err);

}  // namespace cli
