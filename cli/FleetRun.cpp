#include "cli/FleetRun.h"

#include <cstdio>
#include <map>
#include <vector>

#include "cli/CliReport.h"
#include "log/CLogFile.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/ProcessGroup.h"

namespace cli {

namespace {

const char* JobWord(Job job) {
  return job == Job::kSave ? "save" : job == Job::kReset ? "reset" : "read";
}

struct Member {
  std::string port;
  uint64_t startedMs = 0;
  JobReport report;
  bool haveRecord = false;
};

}  // namespace

std::string FleetLine(const std::string& port, const JobReport& r, double seconds) {
  char line[1024];
  std::string device =
      r.deviceIndex >= 0 ? std::to_string(r.deviceIndex) + " " + r.deviceName : "-";
  std::snprintf(line, sizeof line, "%-12s %-15s %-5s %-5s %-22s %-4s %-6s %-6s %6.1fs",
                port.c_str(), r.result.c_str(),
                r.haveSettings ? std::to_string(r.model).c_str() : "-",
                r.haveSettings ? r.firmware.c_str() : "-", r.haveSettings ? device.c_str() : "-",
                r.haveSettings && r.link >= 0 ? std::to_string(r.link).c_str() : "-",
                r.haveSettings && !r.mode.empty() ? r.mode.c_str() : "-",
                r.rate.empty() ? "-" : r.rate.c_str(), seconds);
  return ForTerminal(line);
}

int RunFleet(const CliOptions& o, const std::string& program, CLogFile& log, std::ostream& out,
             std::ostream& err) {
  std::string words;
  for (const auto& p : o.ports) words += (words.empty() ? "" : ",") + platform::WideToUtf8(p);
  log.LogLine(platform::Utf8ToWide(std::string("Fleet: ") + JobWord(o.fleetJob) + " on " + words));

  platform::ProcessGroup group;
  std::map<int, Member> members;
  int worst = 0;
  for (const auto& p : o.ports) {
    Member m;
    m.port = platform::WideToUtf8(p);
    std::vector<std::string> args = {program, JobWord(o.fleetJob)};
    args.insert(args.end(), o.jobArgs.begin(), o.jobArgs.end());
    args.push_back("--port=" + m.port);
    args.push_back("--fleet-child");
    m.startedMs = platform::NowMs();
    int index = group.Start(args);
    if (index < 0) {
      m.report.result = "not started";
      out << FleetLine(m.port, m.report, 0.0) << std::endl;
      worst = std::max(worst, 1);
      continue;
    }
    members[index] = m;
  }
  out << "PORT         RESULT          MODEL FW    DEVICE                 LINK MODE   RATE   "
         "   TIME"
      << std::endl;

  int done = 0, failed = 0;
  platform::ProcessGroup::Event ev;
  while (group.Next(&ev)) {
    Member& m = members[ev.child];
    switch (ev.kind) {
      case platform::ProcessGroup::Event::kOutLine:
        if (ParseRecordLine(ev.line, &m.report)) m.haveRecord = true;
        break;
      case platform::ProcessGroup::Event::kErrLine:
        err << "[" << m.port << "] " << ForTerminal(ev.line) << std::endl;
        break;
      case platform::ProcessGroup::Event::kEnded: {
        int status = ev.status;
        if (!m.haveRecord || status > 3) {
          m.report.result = "died (status " + std::to_string(status) + ")";
          status = 1;
        }
        status == 0 ? ++done : ++failed;
        worst = std::max(worst, status);
        const double seconds = (platform::NowMs() - m.startedMs) / 1000.0;
        out << FleetLine(m.port, m.report, seconds) << std::endl;
        log.LogLine(platform::Utf8ToWide("[" + m.port + "] Fleet result: " + m.report.result));
        break;
      }
    }
  }
  out << o.ports.size() << " ports: " << done << " done, " << failed << " failed; worst status "
      << worst << std::endl;
  return worst;
}

}  // namespace cli
