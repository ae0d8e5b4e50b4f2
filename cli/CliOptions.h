#pragma once
// The command line of qelm-cli: which job (read, save, reset, or one of them over a fleet of
// ports), on which port, and the settings a save puts on top of what it read (from its own
// options, or from a profile that "read --json" wrote, which its options override).
// Everything that can be judged without the radio is judged here, before any port is opened:
// unknown options, a rate not in the list, a link outside 0 to 15, an unknown device, a mode
// other than remote or base, band or power without --service, the handle profile asked for
// with Base or another rate, a fleet reset without --yes, one device named twice.
//
// Parsing never exits and never prints: it returns false with a one-line reason, and the
// program answers with status 64, that line and where to find the command's usage.

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Job { kRead, kSave, kReset, kFleet, kHelp, kVersion };

// How many ports a fleet works on at once unless --jobs says otherwise.
constexpr int kDefaultJobs = 64;
constexpr int kMaxJobs = 1024;

struct FleetPort {
  std::u16string port;
  std::optional<int> link;  // a ports file's own link number for this port
};

struct CliOptions {
  Job job = Job::kHelp;
  std::string command;              // the command word as given ("save"), for help and errors
  std::u16string port;              // "COM1" to "COM3" or a device path
  std::u16string rate = u"115200";  // the rate Connect starts with
  int waitSeconds = 60;             // for an external radio, over the whole connect
  bool service = false;
  bool json = false;
  bool yes = false;
  bool verify = false;
  bool plan = false;         // save, reset: read and tell what would change; send nothing else
  bool alwaysStore = false;  // save: store even when the radio already holds every setting
  bool quiet = false;        // only the report (table or JSON) and errors
  // save: what is put on top of what was read; unset keeps the radio's value
  std::optional<int> device;  // an entry number
  std::u16string deviceName;  // or a name, matched when the model is known
  std::optional<int> link;
  std::optional<int> mode;  // 0 Remote, 1 Base
  std::optional<std::u16string> newRate;
  std::optional<int> bandEntry;  // 0 worldwide, 1 usa
  std::optional<int> power;      // 0 low, 1 high
  std::string profile;           // save --profile FILE
  std::string report;            // --report FILE (.jsonl or .csv)
  // fleet: the ports and the job each of them runs, with that job's own options
  std::vector<FleetPort> ports;
  std::string retryFailed;  // fleet --retry-failed REPORT: the ports that did not end well
  Job fleetJob = Job::kRead;
  std::vector<std::string> jobArgs;
  int jobs = kDefaultJobs;
  // Set for the processes a fleet starts: log lines tagged with the port, and a record line.
  bool fleetChild = false;
  // A fleet's process appends its JSON object here itself when it ends (--fleet-report).
  std::string fleetReport;
  // A fleet's process: the link its ports file gave this port (--port-link), also its --link.
  std::optional<int> portLink;
  // A fleet's process also logs every line to the fleet's own run log (--run-log).
  std::string runLog;
};

// Parses argv (argv[0] the program). False with *error set on bad usage; options->command
// is set as far as it was understood.
bool ParseCommandLine(int argc, char** argv, CliOptions* options, std::string* error);

// The Baudrate entry of a rate text, or -1 when it is not in the list.
int RateIndex(const std::u16string& rate);

}  // namespace cli
