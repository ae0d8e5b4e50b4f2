#include "cli/FleetRun.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <vector>

#include "cli/CliReport.h"
#include "log/CLogFile.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/ProcessGroup.h"
#include "platform/system/StopSignals.h"

namespace cli {

namespace {

const char* JobWord(Job job) {
  return job == Job::kSave ? "save" : job == Job::kReset ? "reset" : "read";
}

constexpr char kHeaderAfterPort[] =
    "RESULT          PHASE       MODEL FW    DEVICE                 LINK MODE   RATE      TIME";

// The port column is as wide as the longest port name (network names are long), within bounds.
size_t PortWidth(const CliOptions& o) {
  size_t width = 12;
  for (const auto& p : o.ports) width = std::max(width, platform::WideToUtf8(p.port).size());
  return std::min<size_t>(width, 64);
}

struct Member {
  std::string port;
  uint64_t startedMs = 0;
  JobReport report;
  bool haveRecord = false;
};

class Fleet final : public FleetSignals {
 public:
  Fleet(const CliOptions& o, const std::string& program, CLogFile& log, std::ostream& out,
        std::ostream& err)
      : o_(o), program_(program), log_(log), out_(out), err_(err), portWidth_(PortWidth(o)) {}

  void PassOn(int signal) override { group_.Signal(signal); }

  bool OpenReport(std::string* error) {
    if (o_.report.empty()) return true;
    report_.open(o_.report, std::ios::binary | std::ios::trunc);
    if (!report_) return *error = "cannot write the report '" + o_.report + "'", false;
    csv_ = o_.report.size() > 4 && o_.report.compare(o_.report.size() - 4, 4, ".csv") == 0;
    if (csv_) report_ << ReportCsvHeader() << std::flush;
    return true;
  }

  int Run() {
    const uint64_t started = platform::NowMs();
    if (!o_.json) out_ << FleetHeader(portWidth_) << std::endl;
    size_t next = 0;
    platform::ProcessGroup::Event ev;
    for (;;) {
      while (next < o_.ports.size() && group_.Running() < o_.jobs &&
             platform::StopSignals::First() == 0)
        Start(next++);
      if (!group_.Next(&ev)) break;
      Handle(ev);
    }
    // Ports never started because a signal came first.
    for (; next < o_.ports.size(); ++next) {
      JobReport r;
      r.job = JobWord(o_.fleetJob);
      r.port = platform::WideToUtf8(o_.ports[next].port);
      r.result = "not started";
      r.status = 1;
      Ended(r, false);
    }
    summary_.ports = static_cast<int>(o_.ports.size());
    summary_.signal = platform::StopSignals::First();
    summary_.status = summary_.signal ? platform::SignalStatus(summary_.signal) : summary_.worst;
    summary_.seconds = (platform::NowMs() - started) / 1000.0;
    if (o_.json)
      out_ << SummaryJson(summary_) << std::flush;
    else
      out_ << SummaryText(summary_) << std::flush;
    if (report_.is_open() && !csv_) report_ << SummaryJson(summary_) << std::flush;
    log_.LogLine(platform::Utf8ToWide(
        "Fleet: " + SummaryText(summary_).substr(0, SummaryText(summary_).size() - 1)));
    return summary_.status;
  }

 private:
  void Start(size_t index) {
    const FleetPort& p = o_.ports[index];
    Member m;
    m.port = platform::WideToUtf8(p.port);
    std::vector<std::string> args = {program_, JobWord(o_.fleetJob)};
    args.insert(args.end(), o_.jobArgs.begin(), o_.jobArgs.end());
    // The port's own link, from the ports file, comes last and so wins.
    if (p.link && o_.fleetJob == Job::kSave) args.push_back("--link=" + std::to_string(*p.link));
    args.push_back("--port=" + m.port);
    args.push_back("--fleet-child");
    m.startedMs = platform::NowMs();
    int child = group_.Start(args);
    if (child < 0) {
      m.report.job = JobWord(o_.fleetJob);
      m.report.port = m.port;
      m.report.result = "not started";
      m.report.error = "the process could not be started";
      Ended(m.report, false);
      return;
    }
    members_[child] = m;
  }

  void Handle(const platform::ProcessGroup::Event& ev) {
    Member& m = members_[ev.child];
    switch (ev.kind) {
      case platform::ProcessGroup::Event::kOutLine:
        if (ParseRecordLine(ev.line, &m.report)) m.haveRecord = true;
        break;
      case platform::ProcessGroup::Event::kErrLine:
        err_ << "[" << m.port << "] " << ForTerminal(ev.line) << std::endl;
        break;
      case platform::ProcessGroup::Event::kEnded: {
        JobReport r = m.report;
        r.port = m.port;
        r.job = JobWord(o_.fleetJob);
        r.status = ev.status;
        const int signal = platform::StopSignals::First();
        if (!m.haveRecord && signal && ev.status == platform::SignalStatus(signal)) {
          // Stopped by the fleet's own signal before it could take it: before any radio work.
          r.result = "stopped";
          r.status = ev.status;
        } else if (!m.haveRecord) {
          r.result = "died (status " + std::to_string(ev.status) + ")";
          r.phase = "unknown";
          r.status = 1;
        }
        r.seconds = (platform::NowMs() - m.startedMs) / 1000.0;
        Ended(r, true);
        break;
      }
    }
  }

  void Ended(const JobReport& r, bool started) {
    int status = r.status > 3 && r.status < 128 ? 1 : r.status;
    // A port stopped by a signal after its store ran to its end counts as done.
    const bool finished =
        status == 0 ||
        (status >= 128 && (r.phase == "stored" || r.phase == "verified" || r.phase == "read"));
    if (finished)
      ++summary_.done;
    else if (!started)
      ++summary_.notStarted;
    else
      ++summary_.failed;
    if (status < 128) summary_.worst = std::max(summary_.worst, status);
    if (o_.json)
      out_ << ReportJson(r) << std::flush;
    else
      out_ << FleetLine(r.port, r, portWidth_) << std::endl;
    if (report_.is_open()) report_ << (csv_ ? ReportCsv(r) : ReportJson(r)) << std::flush;
    std::string line = "[" + r.port + "] Fleet result: " + r.result;
    if (r.phase != "read") line += ", " + r.phase;
    if (!r.rate.empty()) line += ", answers at " + r.rate;
    log_.LogLine(platform::Utf8ToWide(line));
  }

  const CliOptions& o_;
  const std::string& program_;
  CLogFile& log_;
  std::ostream& out_;
  std::ostream& err_;
  platform::ProcessGroup group_;
  std::map<int, Member> members_;
  FleetSummary summary_;
  std::ofstream report_;
  bool csv_ = false;
  const size_t portWidth_;
};

}  // namespace

std::string FleetHeader(size_t portWidth) {
  char line[256];
  std::snprintf(line, sizeof line, "%-*s %s", static_cast<int>(portWidth), "PORT",
                kHeaderAfterPort);
  return line;
}

std::string FleetLine(const std::string& port, const JobReport& r, size_t portWidth) {
  char line[1024];
  std::string device =
      r.deviceIndex >= 0 ? std::to_string(r.deviceIndex) + " " + r.deviceName : "-";
  std::snprintf(line, sizeof line, "%-*s %-15s %-11s %-5s %-5s %-22s %-4s %-6s %-6s %6.1fs",
                static_cast<int>(portWidth), port.c_str(), r.result.c_str(), r.phase.c_str(),
                r.haveSettings ? std::to_string(r.model).c_str() : "-",
                r.haveSettings ? r.firmware.c_str() : "-", r.haveSettings ? device.c_str() : "-",
                r.haveSettings && r.link >= 0 ? std::to_string(r.link).c_str() : "-",
                r.haveSettings && !r.mode.empty() ? r.mode.c_str() : "-",
                r.rate.empty() ? "-" : r.rate.c_str(), r.seconds);
  return ForTerminal(line);
}

int RunFleet(const CliOptions& o, const std::string& program, CLogFile& log, std::ostream& out,
             std::ostream& err, std::atomic<FleetSignals*>* signals) {
  std::string words;
  for (const auto& p : o.ports) words += (words.empty() ? "" : ",") + platform::WideToUtf8(p.port);
  log.LogLine(platform::Utf8ToWide(std::string("Fleet: ") + JobWord(o.fleetJob) + " on " + words));
  Fleet fleet(o, program, log, out, err);
  std::string error;
  if (!fleet.OpenReport(&error)) {
    err << "qelm-cli: " << error << std::endl;
    return 1;
  }
  signals->store(&fleet);
  int status = fleet.Run();
  signals->store(nullptr);
  return status;
}

}  // namespace cli
