// qelm-cli: the tool's radio sequences from the command line, on one radio or a fleet.
#include <climits>
#include <iostream>
#include <mutex>
#include <string>

#include "cli/CliJobs.h"
#include "cli/CliOptions.h"
#include "cli/CliPorts.h"
#include "cli/CliReport.h"
#include "cli/CliUsage.h"
#include "cli/CliView.h"
#include "cli/FleetRun.h"
#include "cli/InputText.h"
#include "cli/JobProgress.h"
#include "log/CLogFile.h"
#include "platform/devices/NamedPorts.h"
#include "platform/devices/OpenLines.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/ControllingTerminal.h"
#include "platform/system/EscapedBytes.h"
#include "platform/system/ModulePath.h"
#include "platform/system/ProgramArguments.h"
#include "platform/system/StopSignals.h"
#include "platform/system/WholeFile.h"

namespace {

// How long a line may wait for the log while other processes of a fleet write theirs.
constexpr uint32_t kLogWaitMs = 5000;

int UsageError(const std::string& error, const std::string& command) {
  std::cerr << "qelm-cli: " << cli::Printable(error) << "\n"
            << "Try 'qelm-cli " << (cli::HasUsage(command) ? command + " " : "") << "--help'.\n";
  return 64;
}

bool IsCsv(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".csv") == 0;
}

// The job's report where it was asked for: the fleet's record line, JSON or text on standard
// output, the --report file (checked writable before the job starts) and, for a fleet's
// process, its own whole line appended to the fleet's JSON Lines. The log gets the result
// line. False when a file could not take it.
bool Tell(const cli::CliOptions& o, cli::JobReport r, CLogFile& log, CLogFile* runLog,
          const std::u16string& tag) {
  bool ok = true;
  std::string reason;
  if (!o.fleetReport.empty())
    ok = platform::AppendWhole(o.fleetReport, cli::ReportJson(r), &reason);
  if (!o.report.empty())
    ok = platform::AppendWhole(
             o.report,
             IsCsv(o.report) ? cli::ReportCsvHeader() + cli::ReportCsv(r) : cli::ReportJson(r),
             &reason) &&
         ok;
  // A report that could not be written is a failure of the run, and says so where it can.
  if (!ok && r.status == 0) {
    r.status = 1;
    r.error = "the report could not be written: " + reason;
  }
  const std::u16string result = tag + platform::Utf8ToWide(cli::ResultLogLine(r));
  log.LogLine(result);
  if (runLog) runLog->LogLine(result);
  if (o.fleetChild)
    std::cout << cli::RecordLine(r) << std::flush;
  else if (o.json)
    std::cout << cli::ReportJson(r) << std::flush;
  else
    std::cout << cli::ReportText(r) << std::flush;
  if (!ok) std::cerr << "qelm-cli: the report could not be written: " << reason << "\n";
  return ok;
}

std::u16string SignalText(int signal) {
  return platform::Utf8ToWide("Signal " + std::to_string(signal));
}

// What the stop handler uses outlives main: the handler may run on its own thread while main
// returns, and once main has closed the gate it does nothing.
struct StopState {
  std::mutex gate;
  bool closed = false;
  const cli::CliOptions* options = nullptr;
  CLogFile* log = nullptr;
  CLogFile* runLog = nullptr;
  std::u16string tag;
  cli::JobProgress progress;
};
StopState* const stop = new StopState;

void OnStop(int signal, int count) {
  std::lock_guard<std::mutex> lock(stop->gate);
  if (stop->closed) return;
  const cli::CliOptions& options = *stop->options;
  CLogFile& log = *stop->log;
  auto logLine = [](const std::u16string& text) {
    stop->log->LogLine(text);
    if (stop->runLog) stop->runLog->LogLine(text);
  };
  if (count == 1 && !options.fleetChild)
    std::cerr << "qelm-cli: stopping: no store starts any more, one under way runs to its end "
                 "(a second signal stops at once)"
              << std::endl;
  if (count == 1) {
    logLine(stop->tag + SignalText(signal) +
            u": no store or reset starts any more; one under way runs to its end.");
    return;
  }
  // A second signal: stop at once, leaving the port and the log as they were found, and say
  // what the radio was left holding.
  platform::RestoreOpenLines();
  cli::JobReport r = stop->progress.Get();
  const radio::StoreProgress::State st = stop->progress.store.Get();
  cli::TakeStore(st, /*interrupted=*/true, &r);
  r.ended = cli::IsoNow();
  r.result = st.confirmed ? "done" : "stopped";
  r.status = platform::SignalStatus(platform::StopSignals::First());
  const std::string hint = cli::RecoveryHint(r.port, st);
  logLine(stop->tag + SignalText(signal) + u": stopped at once, " + platform::Utf8ToWide(r.phase) +
          u".");
  if (!hint.empty()) {
    logLine(stop->tag +
            platform::Utf8ToWide((st.storeSent ? "Left unconfirmed: " : "Left unstored: ") + hint +
                                 "."));
    // A fleet passes it on with the port in front.
    std::cerr << "qelm-cli: " << hint << "." << std::endl;
  }
  Tell(options, r, log, stop->runLog, stop->tag);
  if (!options.fleetChild) {
    log.LogLine(u"Application closed");
    log.TrimToLimit();
  }
  platform::StopSignals::ExitNow(r.status);
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments as UTF-8 on every system.
  platform::ProgramArguments arguments(argc, argv);
  argc = arguments.Count();
  argv = arguments.Argv();
  if (argc >= 2 && std::string(argv[1]) == "ports")
    return cli::RunPorts(argc, argv, std::cout, std::cerr);
  static cli::CliOptions options;
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
  if (options.job == cli::Job::kReset && !options.yes && !options.plan && !platform::HaveTerminal())
    return UsageError("reset needs --yes where no terminal can ask", "reset");
  if (options.fleetChild) platform::DieWithParent();
  // A report that cannot be written is known before any radio is touched, not after.
  if (!options.report.empty() && options.job != cli::Job::kFleet) {
    std::string reason;
    if (!platform::CreateEmpty(options.report, &reason)) {
      std::cerr << "qelm-cli: cannot write the report '" << cli::Quoted(options.report)
                << "': " << reason << "\n";
      return 1;
    }
  }

  static CLogFile log(u"TUVAR_TOOL_Log.txt", 500,
                      CLogFile::Sharing{kLogWaitMs, /*ownsRun=*/!options.fleetChild,
                                        /*keepWholeRun=*/true});
  // A fleet's process logs to the fleet's run log as well; that log never trims itself.
  CLogFile* runLog =
      options.runLog.empty()
          ? nullptr
          : new CLogFile(platform::Utf8ToWide(options.runLog), INT32_MAX,
                         CLogFile::Sharing{kLogWaitMs, /*ownsRun=*/false, /*keepWholeRun=*/true});
  const std::u16string tag = options.fleetChild ? u"[" + options.port + u"] " : u"";
  std::string line = "Command line:";
  for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
  // Words given on the command line (a file's name) reach the log with their controls escaped.
  const std::u16string logged = tag + platform::EscapeControlBytes(platform::Utf8ToWide(line));
  log.LogLine(logged);
  if (runLog) runLog->LogLine(logged);

  // The fleet takes its signals in its own wait for its processes.
  if (options.job == cli::Job::kFleet)
    return cli::RunFleet(options, platform::WideToUtf8(platform::ModuleFileName()), line, log,
                         std::cout, std::cerr);

  stop->options = &options;
  stop->log = &log;
  stop->runLog = runLog;
  stop->tag = tag;
  platform::StopSignals::Start(OnStop);
  auto closeGate = [] {
    std::lock_guard<std::mutex> lock(stop->gate);
    stop->closed = true;
  };

  platform::NamedPortProvider ports;
  platform::SetSerialProvider(&ports);
  cli::CliView view(log, tag, std::cerr, options.yes);
  view.progress = &stop->progress;
  view.runLog = runLog;
  view.quiet = options.quiet;
  // A fleet's process tells its waits to the fleet, which shows them one line per port.
  if (options.fleetChild) view.waitNotices = &std::cout;
  cli::JobReport report;
  const uint64_t started = platform::NowMs();
  report.started = cli::IsoNow();
  int status = cli::RunJob(view, options, &report);
  report.seconds = (platform::NowMs() - started) / 1000.0;
  report.ended = cli::IsoNow();
  platform::SetSerialProvider(nullptr);
  // From here on a second signal has nothing left to cut short: the report is told once.
  closeGate();
  if (int signal = platform::StopSignals::First()) status = platform::SignalStatus(signal);
  report.status = status;
  if (!Tell(options, report, log, runLog, tag) && status == 0) status = report.status = 1;
  // What a message already told on standard error is not told twice.
  if (status != 0 && !report.error.empty() && view.Messages().empty())
    std::cerr << "qelm-cli: " << cli::Printable(report.error) << "\n";
  return status;
}
