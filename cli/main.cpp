// qelm-cli: the tool's radio sequences from the command line, on one radio or a fleet.
#include <iostream>
#include <string>

#include "cli/CliJobs.h"
#include "cli/CliOptions.h"
#include "cli/CliPorts.h"
#include "cli/CliReport.h"
#include "cli/CliView.h"
#include "cli/FleetRun.h"
#include "log/CLogFile.h"
#include "platform/serial/NamedPorts.h"
#include "platform/system/CodePage.h"
#include "platform/system/ModulePath.h"

namespace {

// How long a line may wait for the log while other processes of a fleet write theirs.
constexpr uint32_t kLogWaitMs = 5000;

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "ports")
    return cli::RunPorts(argc, argv, std::cout, std::cerr);
  cli::CliOptions options;
  std::string error;
  if (!cli::ParseCommandLine(argc, argv, &options, &error)) {
    std::cerr << "qelm-cli: " << error << "\n" << cli::UsageText();
    return 64;
  }
  if (options.job == cli::Job::kHelp) {
    std::cout << cli::UsageText();
    return 0;
  }
  if (options.job == cli::Job::kVersion) {
    std::cout << "qelm-cli " << QELM_CLI_VERSION << "\n";
    return 0;
  }

  CLogFile log(u"TUVAR_TOOL_Log.txt", 500,
               CLogFile::Sharing{kLogWaitMs, /*ownsRun=*/!options.fleetChild});
  if (options.job == cli::Job::kFleet)
    return cli::RunFleet(options, platform::WideToUtf8(platform::ModuleFileName()), log, std::cout,
                         std::cerr);

  std::u16string tag = options.fleetChild ? u"[" + options.port + u"] " : u"";
  if (!options.fleetChild) {
    std::string line = "Command line:";
    for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
    log.LogLine(platform::Utf8ToWide(line));
  }
  platform::NamedPortProvider ports;
  platform::SetSerialProvider(&ports);
  cli::CliView view(log, tag, std::cerr, options.fleetChild ? nullptr : &std::cin, options.yes);
  cli::JobReport report;
  int status = cli::RunJob(view, options, &report);
  platform::SetSerialProvider(nullptr);

  if (options.fleetChild) {
    std::cout << cli::RecordLine(report) << std::flush;
  } else if (options.json) {
    std::cout << cli::ReportJson(report) << std::flush;
  } else {
    std::cout << cli::ReportText(report) << std::flush;
  }
  if (status != 0 && !report.error.empty())
    std::cerr << "qelm-cli: " << cli::ForTerminal(report.error) << "\n";
  return status;
}
