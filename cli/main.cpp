// qelm-cli: the tool's radio sequences from the command line, on one radio or a fleet.
#include <atomic>
#include <fstream>
#include <iostream>
#include <string>

#include "cli/CliJobs.h"
#include "cli/CliOptions.h"
#include "cli/CliPorts.h"
#include "cli/CliReport.h"
#include "cli/CliUsage.h"
#include "cli/CliView.h"
#include "cli/FleetRun.h"
#include "cli/JobProgress.h"
#include "log/CLogFile.h"
#include "platform/serial/NamedPorts.h"
#include "platform/serial/OpenLines.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/ControllingTerminal.h"
#include "platform/system/ModulePath.h"
#include "platform/system/StopSignals.h"

namespace {

// How long a line may wait for the log while other processes of a fleet write theirs.
constexpr uint32_t kLogWaitMs = 5000;

int UsageError(const std::string& error, const std::string& command) {
  std::cerr << "qelm-cli: " << error << "\n"
            << "Try 'qelm-cli " << (cli::HasUsage(command) ? command + " " : "") << "--help'.\n";
  return 64;
}

// The job's report where it was asked for: the fleet's record line, JSON or text on standard
// output, and the --report file (opened before the job starts). False when the file could not
// take it.
bool Tell(const cli::CliOptions& o, const cli::JobReport& r, std::ofstream* file) {
  if (o.fleetChild)
    std::cout << cli::RecordLine(r) << std::flush;
  else if (o.json)
    std::cout << cli::ReportJson(r) << std::flush;
  else
    std::cout << cli::ReportText(r) << std::flush;
  if (!file || !file->is_open()) return true;
  const bool csv = o.report.size() > 4 && o.report.compare(o.report.size() - 4, 4, ".csv") == 0;
  *file << (csv ? cli::ReportCsvHeader() + cli::ReportCsv(r) : cli::ReportJson(r));
  file->flush();
  return file->good();
}

std::u16string SignalText(int signal) {
  return platform::Utf8ToWide("Signal " + std::to_string(signal));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "ports")
    return cli::RunPorts(argc, argv, std::cout, std::cerr);
  cli::CliOptions options;
  std::string error;
  if (!cli::ParseCommandLine(argc, argv, &options, &error))
    return UsageError(error, options.command);
  if (options.job == cli::Job::kHelp) {
    std::cout << cli::UsageText(options.command);
    return 0;
  }
  if (options.job == cli::Job::kVersion) {
    std::cout << "qelm-cli " << QELM_CLI_VERSION << "\n";
    return 0;
  }
  if (options.job == cli::Job::kReset && !options.yes && !platform::HaveTerminal())
    return UsageError("reset needs --yes where no terminal can ask", "reset");
  if (options.fleetChild) platform::DieWithParent();
  // A report that cannot be written is known before any radio is touched, not after.
  std::ofstream reportFile;
  if (!options.report.empty() && options.job != cli::Job::kFleet) {
    reportFile.open(options.report, std::ios::binary | std::ios::trunc);
    if (!reportFile) {
      std::cerr << "qelm-cli: cannot write the report '" << options.report << "'\n";
      return 1;
    }
  }

  CLogFile log(u"TUVAR_TOOL_Log.txt", 500,
               CLogFile::Sharing{kLogWaitMs, /*ownsRun=*/!options.fleetChild,
                                 /*keepWholeRun=*/true});
  const std::u16string tag = options.fleetChild ? u"[" + options.port + u"] " : u"";
  std::string line = "Command line:";
  for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
  log.LogLine(tag + platform::Utf8ToWide(line));

  cli::JobProgress progress;
  std::atomic<cli::FleetSignals*> fleet{nullptr};
  platform::StopSignals::Start([&](int signal, int count) {
    if (count == 1 && !options.fleetChild)
      std::cerr << "qelm-cli: stopping: no store starts any more, one under way runs to its end "
                   "(a second signal stops at once)"
                << std::endl;
    if (options.job == cli::Job::kFleet) {
      log.LogLine(SignalText(signal) + (count == 1 ? u": no port starts any more; the ports at "
                                                     u"work stop as their stores allow."
                                                   : u": passed on to stop the ports at once."));
      if (cli::FleetSignals* f = fleet.load()) f->PassOn(signal);
      return;
    }
    if (count == 1) {
      log.LogLine(tag + SignalText(signal) +
                  u": no store or reset starts any more; one under way runs to its end.");
      return;
    }
    // A second signal: stop at once, leaving the port and the log as they were found.
    platform::RestoreOpenLines();
    cli::JobReport r = progress.Get();
    if (progress.Changing()) r.phase = "interrupted";
    r.result = "stopped";
    r.status = platform::SignalStatus(platform::StopSignals::First());
    log.LogLine(tag + SignalText(signal) + u": stopped at once, " + platform::Utf8ToWide(r.phase) +
                u".");
    Tell(options, r, &reportFile);
    if (!options.fleetChild) {
      log.LogLine(u"Application closed");
      log.TrimToLimit();
    }
    platform::StopSignals::ExitNow(r.status);
  });

  if (options.job == cli::Job::kFleet)
    return cli::RunFleet(options, platform::WideToUtf8(platform::ModuleFileName()), log, std::cout,
                         std::cerr, &fleet);

  platform::NamedPortProvider ports;
  platform::SetSerialProvider(&ports);
  cli::CliView view(log, tag, std::cerr, options.yes);
  view.progress = &progress;
  cli::JobReport report;
  const uint64_t started = platform::NowMs();
  int status = cli::RunJob(view, options, &report);
  report.seconds = (platform::NowMs() - started) / 1000.0;
  platform::SetSerialProvider(nullptr);
  if (int signal = platform::StopSignals::First()) status = platform::SignalStatus(signal);
  report.status = status;
  if (!Tell(options, report, &reportFile)) {
    std::cerr << "qelm-cli: the report '" << options.report << "' could not be written\n";
    if (status == 0) status = 1;
  }
  // What a message already told on standard error is not told twice.
  if (status != 0 && !report.error.empty() && view.Messages().empty())
    std::cerr << "qelm-cli: " << cli::ForTerminal(report.error) << "\n";
  return status;
}
