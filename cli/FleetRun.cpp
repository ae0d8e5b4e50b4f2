#include "cli/FleetRun.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "cli/CliReport.h"
#include "cli/FleetStatus.h"
#include "cli/FleetTable.h"
#include "cli/FleetWaits.h"
#include "cli/InputText.h"
#include "log/CLogFile.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/ControllingTerminal.h"
#include "platform/system/DataFolder.h"
#include "platform/system/ProcessGroup.h"
#include "platform/system/StopSignals.h"
#include "platform/system/WholeFile.h"

namespace cli {

namespace {

const char* JobWord(Job job) {
  return job == Job::kSave ? "save" : job == Job::kReset ? "reset" : "read";
}

// What a process says on standard error that --quiet still passes on: its errors.
bool IsErrorLine(const std::string& line) {
  return line.rfind("qelm-cli:", 0) == 0 || line.find("Error") != std::string::npos ||
         line.find("ERROR") != std::string::npos;
}

// A run log never trims itself: its bound is the number of run logs kept.
constexpr int32_t kRunLogLines = INT32_MAX;

// The port column is as wide as the longest port name (network names are long), within bounds.
size_t PortWidth(const CliOptions& o) {
  size_t width = 12;
  for (const auto& p : o.ports) width = std::max(width, platform::WideToUtf8(p.port).size());
  return std::min<size_t>(width, 64);
}

bool IsCsv(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".csv") == 0;
}

// runs/fleet-YYYY-MM-DD_HH-MM-SS.log under the state folder (a second run started within the
// same second gets a number added); the oldest beyond the bound are removed.
std::string NewRunLogPath() {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(platform::DataFolder()) / "runs";
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::vector<fs::path> old;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().filename().string().rfind("fleet-", 0) == 0) old.push_back(e.path());
  // Names sort by their start time; keep room for the new one.
  std::sort(old.begin(), old.end());
  for (size_t i = 0; i + kKeptRunLogs <= old.size(); ++i) fs::remove(old[i], ec);
  const platform::SYSTEMTIME t = platform::CurrentClock().LocalTime();
  char name[64];
  std::snprintf(name, sizeof name, "fleet-%04u-%02u-%02u_%02u-%02u-%02u", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  fs::path path = folder / (std::string(name) + ".log");
  for (int n = 2; fs::exists(path, ec) && n < 100; ++n)
    path = folder / (std::string(name) + "-" + std::to_string(n) + ".log");
  return path.string();
}

struct Member {
  size_t index = 0;  // in the ports given
  std::string port;
  uint64_t startedMs = 0;
  std::string started;  // ISO 8601
  JobReport report;
  bool haveRecord = false;
  bool overdue = false;  // ended by the fleet for running past its bound
};

class Fleet {
 public:
  Fleet(const CliOptions& o, const std::string& program, CLogFile& log, std::ostream& out,
        std::ostream& err)
      : o_(o),
        program_(program),
        log_(log),
        out_(out),
        portWidth_(PortWidth(o)),
        lines_(o.ports.size()),
        status_(err, !o.quiet && StandardErrorIsTerminal(), static_cast<int>(o.ports.size())) {
    status_.terminalSize = [](int* columns, int* rows) {
      return platform::StandardErrorSize(columns, rows);
    };
  }

  void Log(const std::string& text) {
    log_.LogLine(platform::Utf8ToWide(text));
    if (runLog_) runLog_->LogLine(platform::Utf8ToWide(text));
  }

  void LogRunOnly(const std::string& text) {
    if (runLog_) runLog_->LogLine(platform::Utf8ToWide(text));
  }

  bool Open(std::string* error) {
    runLogPath_ = NewRunLogPath();
    runLog_ = std::make_unique<CLogFile>(
        platform::Utf8ToWide(runLogPath_), kRunLogLines,
        CLogFile::Sharing{5000, /*ownsRun=*/true, /*keepWholeRun=*/true});
    if (o_.report.empty()) return true;
    csv_ = IsCsv(o_.report);
    jsonl_ = csv_ ? o_.report + ".jsonl" : o_.report;
    for (const std::string& path : csv_ ? std::vector{o_.report, jsonl_} : std::vector{jsonl_}) {
      std::string reason;
      if (!platform::CreateEmpty(path, &reason))
        return *error = "cannot write the report '" + Quoted(path) + "': " + reason, false;
    }
    return true;
  }

  int Run() {
    signalFd_ = platform::StopSignals::OpenSignalFd();
    const uint64_t started = platform::NowMs();
    summary_.started = IsoNow();
    if (!o_.json) out_ << FleetHeader(portWidth_) << std::endl;
    size_t next = 0;
    platform::ProcessGroup::Event ev;
    startedMs_ = started;
    for (;;) {
      while (next < o_.ports.size() && group_.Running() < o_.jobs && signal_ == 0) Start(next++);
      ShowStatus();
      if (!group_.Next(&ev, signalFd_, 1000)) break;
      Handle(ev);
    }
    status_.Clear();
    // Ports never started because a signal came first: not started, with the run's status.
    for (; next < o_.ports.size(); ++next) {
      JobReport r = Blank(next);
      r.result = "not started";
      r.status = platform::SignalStatus(signal_);
      r.error = "stopped by signal " + std::to_string(signal_) + " before it started";
      Ended(next, r, /*byChild=*/false);
    }
    summary_.ports = static_cast<int>(o_.ports.size());
    summary_.signal = signal_;
    if (signal_) summary_.worst = std::max(summary_.worst, platform::SignalStatus(signal_));
    summary_.seconds = (platform::NowMs() - started) / 1000.0;
    summary_.ended = IsoNow();
    summary_.runLog = runLogPath_;
    bool written = true;
    std::string reason;
    if (!o_.report.empty()) {
      if (csv_) {
        std::string csv = ReportCsvHeader();
        for (const JobReport& r : lines_) csv += ReportCsv(r);
        written = platform::AppendWhole(o_.report, csv, &reason);
        // The JSON Lines beside it were its safeguard; once the CSV stands they go.
        if (written) std::filesystem::remove(jsonl_);
      } else {
        written = platform::AppendWhole(jsonl_, SummaryJson(summary_), &reason) && reportOk_;
        if (!reportOk_) reason = reportError_;
      }
    }
    if (!written) {
      status_.Line("qelm-cli: the report '" + Quoted(o_.report) +
                   "' could not be written: " + reason);
      summary_.worst = std::max(summary_.worst, 1);
    }
    summary_.status = summary_.worst;
    if (o_.json)
      out_ << SummaryJson(summary_) << std::flush;
    else
      out_ << SummaryText(summary_) << std::flush;
    const std::string text = SummaryText(summary_);
    Log("Fleet: " + text.substr(0, text.size() - 1));
    platform::StopSignals::CloseSignalFd(signalFd_);
    runLog_.reset();
    return summary_.status;
  }

 private:
  JobReport Blank(size_t index) const {
    JobReport r;
    r.job = JobWord(o_.fleetJob);
    r.port = platform::WideToUtf8(o_.ports[index].port);
    r.storeJob = o_.fleetJob != Job::kRead;
    if (r.storeJob) r.stored = false;
    return r;
  }

  void Start(size_t index) {
    const FleetPort& p = o_.ports[index];
    Member m;
    m.index = index;
    m.port = platform::WideToUtf8(p.port);
    std::vector<std::string> args = {program_, JobWord(o_.fleetJob)};
    args.insert(args.end(), o_.jobArgs.begin(), o_.jobArgs.end());
    // The port's own link, from the ports file, comes last and so wins.
    if (p.link && o_.fleetJob == Job::kSave)
      args.push_back("--port-link=" + std::to_string(*p.link));
    args.push_back("--port=" + m.port);
    args.push_back("--fleet-child");
    if (!jsonl_.empty()) args.push_back("--fleet-report=" + jsonl_);
    args.push_back("--run-log=" + runLogPath_);
    m.startedMs = platform::NowMs();
    m.started = IsoNow();
    int child = group_.Start(args);
    if (child < 0) {
      JobReport r = Blank(index);
      r.result = "not started";
      r.error = "the process could not be started";
      Ended(index, r, false);
      return;
    }
    members_[child] = m;
  }

  void TakeSignal() {
    int count = 0;
    const int signal = platform::StopSignals::ReadSignal(signalFd_, &count);
    if (signal == 0) return;
    if (signal_ == 0) signal_ = signal;
    if (count == 1)
      status_.Line(
          "qelm-cli: stopping: no store starts any more, one under way runs to its end "
          "(a second signal stops at once)");
    Log("Signal " + std::to_string(signal) +
        (count == 1 ? ": no port starts any more; the ports at work stop as their stores allow."
                    : ": passed on to stop the ports at once."));
    group_.Signal(signal);
  }

  // A process past its bound is ended outright (SIGKILL): it no longer heeds anything else.
  void EndOverdue() {
    // Two waits for the radio (a save's verify connects again) and time for the work.
    const uint64_t bound = (2 * static_cast<uint64_t>(o_.waitSeconds) + kChildSlackSeconds) * 1000;
    const uint64_t now = platform::NowMs();
    for (auto& [child, m] : members_)
      if (!m.overdue && now - m.startedMs > bound && !ended_.count(child)) {
        m.overdue = true;
        Log("[" + m.port + "] Ended by the fleet: still running after " +
            std::to_string(bound / 1000) + " s.");
        group_.Signal(child, platform::kKillSignal);
      }
  }

  void Handle(const platform::ProcessGroup::Event& ev) {
    using Event = platform::ProcessGroup::Event;
    // Looked at whatever happened: processes that talk without end still meet their bound.
    EndOverdue();
    if (ev.kind == Event::kWake) return TakeSignal();
    if (ev.kind == Event::kIdle) return;
    Member& m = members_[ev.child];
    switch (ev.kind) {
      case Event::kOutLine: {
        WaitNotice notice;
        if (ParseWaitNoticeLine(ev.line, &notice)) {
          const std::string once =
              waits_.Take(ev.child, Printable(m.port), notice, platform::NowMs());
          if (!o_.quiet && !status_.On() && !once.empty()) status_.Line(once);
        } else if (ParseRecordLine(ev.line, &m.report)) {
          m.haveRecord = true;
        }
        break;
      }
      case Event::kErrLine:
        if (o_.quiet && !IsErrorLine(ev.line)) break;
        status_.Line("[" + Printable(m.port) + "] " + Printable(ev.line));
        break;
      case Event::kEnded: {
        ended_.insert(ev.child);
        waits_.Ended(ev.child);
        JobReport r = m.haveRecord ? m.report : Blank(m.index);
        r.port = m.port;
        r.job = JobWord(o_.fleetJob);
        if (!m.haveRecord) {
          // What the radio holds is not known: the process said nothing of it.
          r.stored.reset();
          r.phase = "unknown";
          if (m.overdue) {
            r.result = "ended (overdue)";
            r.error = "ran longer than its bound and was ended";
          } else if (signal_ && ev.status == platform::SignalStatus(signal_)) {
            r.result = "stopped";
          } else {
            r.result = "died (status " + std::to_string(ev.status) + ")";
          }
          r.status = ev.status >= 128 ? ev.status : std::max(ev.status, 1);
          if (m.overdue) r.status = 1;
        }
        if (r.seconds == 0) r.seconds = (platform::NowMs() - m.startedMs) / 1000.0;
        if (r.started.empty()) r.started = m.started;
        Ended(m.index, r, m.haveRecord);
        break;
      }
      default:
        break;
    }
  }

  // byChild: the process wrote its own report line and log line.
  void Ended(size_t index, JobReport r, bool byChild) {
    if (r.ended.empty()) r.ended = IsoNow();
    if (!r.linkAsked && o_.fleetJob == Job::kSave) r.linkAsked = o_.ports[index].link;
    lines_[index] = r;
    ++summary_.results[r.result];
    const bool finished =
        r.status == 0 ||
        (r.status >= 128 && (r.phase == "stored" || r.phase == "verified" || r.phase == "read"));
    if (finished)
      ++summary_.done;
    else if (r.result == "not started")
      ++summary_.notStarted;
    else if (r.result == "stopped")
      ++summary_.stopped;
    else
      ++summary_.failed;
    summary_.worst = std::max(summary_.worst, r.status);
    status_.Hide();
    if (o_.json)
      out_ << ReportJson(r) << std::flush;
    else
      out_ << FleetLine(r.port, r, portWidth_) << std::endl;
    // A plan's changes are what it is for: they follow its line, indented.
    if (!o_.json && r.result == "planned" && r.changes)
      out_ << "    changes: " << Printable(r.changes->empty() ? "none" : ChangesText(*r.changes))
           << std::endl;
    if (byChild) return;
    std::string reason;
    if (!jsonl_.empty() && !platform::AppendWhole(jsonl_, ReportJson(r), &reason) && reportOk_)
      reportOk_ = false, reportError_ = reason;
    Log("[" + r.port + "] " + ResultLogLine(r));
  }

  void ShowStatus() {
    if (status_.On()) status_.SetLive(waits_.LiveLines(platform::NowMs()));
    const int done = summary_.done;
    const int failed = summary_.failed + summary_.stopped + summary_.notStarted;
    status_.Update(done, failed, static_cast<int>(group_.Running()),
                   platform::NowMs() - startedMs_);
  }

  const CliOptions& o_;
  const std::string& program_;
  CLogFile& log_;
  std::ostream& out_;
  const size_t portWidth_;
  platform::ProcessGroup group_;
  std::map<int, Member> members_;
  std::set<int> ended_;
  std::vector<JobReport> lines_;
  FleetSummary summary_;
  std::unique_ptr<CLogFile> runLog_;
  std::string runLogPath_;
  std::string jsonl_;
  bool csv_ = false;
  bool reportOk_ = true;
  std::string reportError_;
  int signalFd_ = -1;
  int signal_ = 0;
  FleetStatus status_;
  FleetWaits waits_;
  uint64_t startedMs_ = 0;
};

}  // namespace

int RunFleet(const CliOptions& o, const std::string& program, const std::string& commandLine,
             CLogFile& log, std::ostream& out, std::ostream& err) {
  if (o.ports.empty()) {
    // --retry-failed on a report where every port ended well.
    out << "Nothing to retry: the report '" << Quoted(o.retryFailed) << "' names no failed port."
        << std::endl;
    log.LogLine(u"Fleet: nothing to retry.");
    return 0;
  }
  Fleet fleet(o, program, log, out, err);
  std::string error;
  if (!fleet.Open(&error)) {
    err << "qelm-cli: " << error << std::endl;
    return 1;
  }
  fleet.LogRunOnly(commandLine);
  std::string words;
  for (const auto& p : o.ports) words += (words.empty() ? "" : ",") + platform::WideToUtf8(p.port);
  fleet.Log(std::string("Fleet: ") + JobWord(o.fleetJob) + " on " + words);
  return fleet.Run();
}

}  // namespace cli
