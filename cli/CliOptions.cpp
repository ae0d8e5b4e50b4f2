#include "cli/CliOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>

#include "cli/CliProfile.h"
#include "cli/CliRetry.h"
#include "cli/CliUsage.h"
#include "cli/InputText.h"
#include "cli/PortNames.h"
#include "platform/system/CodePage.h"
#include "radio/RadioTables.h"

namespace cli {

namespace {

enum OptionId {
  kPort = 1000,
  kRate,
  kWait,
  kService,
  kJson,
  kYes,
  kVerify,
  kDevice,
  kLink,
  kMode,
  kNewRate,
  kBand,
  kPower,
  kPorts,
  kPortsFile,
  kJobs,
  kProfile,
  kReport,
  kFleetChild,
  kFleetReport,
  kRunLog,
  kPlan,
  kAlwaysStore,
  kQuiet,
  kRetryFailed,
  kPortLink,
  kHelpOption = 'h',
};

const option kCommon[] = {{"port", required_argument, nullptr, kPort},
                          {"rate", required_argument, nullptr, kRate},
                          {"wait", required_argument, nullptr, kWait},
                          {"json", no_argument, nullptr, kJson},
                          {"report", required_argument, nullptr, kReport},
                          {"fleet-child", no_argument, nullptr, kFleetChild},
                          {"fleet-report", required_argument, nullptr, kFleetReport},
                          {"run-log", required_argument, nullptr, kRunLog},
                          {"quiet", no_argument, nullptr, kQuiet},
                          {"port-link", required_argument, nullptr, kPortLink}};
const option kReadOnly[] = {{"service", no_argument, nullptr, kService}};
const option kSaveOnly[] = {{"service", no_argument, nullptr, kService},
                            {"device", required_argument, nullptr, kDevice},
                            {"link", required_argument, nullptr, kLink},
                            {"mode", required_argument, nullptr, kMode},
                            {"new-rate", required_argument, nullptr, kNewRate},
                            {"band", required_argument, nullptr, kBand},
                            {"power", required_argument, nullptr, kPower},
                            {"profile", required_argument, nullptr, kProfile},
                            {"verify", no_argument, nullptr, kVerify},
                            {"plan", no_argument, nullptr, kPlan},
                            {"always-store", no_argument, nullptr, kAlwaysStore}};
const option kResetOnly[] = {{"yes", no_argument, nullptr, kYes},
                             {"plan", no_argument, nullptr, kPlan}};
const option kFleetOnly[] = {{"ports", required_argument, nullptr, kPorts},
                             {"ports-file", required_argument, nullptr, kPortsFile},
                             {"jobs", required_argument, nullptr, kJobs},
                             {"wait", required_argument, nullptr, kWait},
                             {"json", no_argument, nullptr, kJson},
                             {"report", required_argument, nullptr, kReport},
                             {"quiet", no_argument, nullptr, kQuiet},
                             {"retry-failed", required_argument, nullptr, kRetryFailed}};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// A decimal number of at most a few digits, nothing else.
bool Number(const std::string& text, int* value) {
  if (text.empty() || text.size() > 6) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

// The device names of every model, for a name given before the model is known.
bool KnownDeviceName(const std::u16string& name) {
  for (int model : {radio::kModel2400, radio::kModel2410})
    for (const auto& entry : radio::DeviceList(model))
      if (Lower(platform::WideToUtf8(std::u16string(entry.text))) ==
          Lower(platform::WideToUtf8(name)))
        return true;
  return false;
}

bool JobOf(const std::string& word, Job* job) {
  const std::pair<const char*, Job> jobs[] = {
      {"read", Job::kRead}, {"save", Job::kSave}, {"reset", Job::kReset}, {"fleet", Job::kFleet}};
  for (const auto& [name, value] : jobs)
    if (word == name) return *job = value, true;
  return false;
}

bool ReportPathOk(const std::string& path) {
  auto ends = [&](const std::string& tail) {
    return path.size() > tail.size() &&
           path.compare(path.size() - tail.size(), tail.size(), tail) == 0;
  };
  return ends(".jsonl") || ends(".csv");
}

bool CheckAfterParse(CliOptions* o, std::string* error) {
  if (!o->profile.empty() && !ApplyProfile(o->profile, o, error)) return false;
  if (o->job != Job::kFleet && o->port.empty()) return *error = "--port is required", false;
  if (o->plan && o->verify) return *error = "--plan stores nothing to verify", false;
  if (o->plan && o->alwaysStore)
    return *error = "--plan stores nothing: not with --always-store", false;
  if ((o->bandEntry || o->power) && !o->service)
    return *error = "--band and --power need --service", false;
  const bool handle = o->device == radio::kHandleDeviceIndex ||
                      Lower(platform::WideToUtf8(o->deviceName)) == "corax & tanager";
  if (handle && o->mode == 1)
    return *error = "the handle profile (Corax & Tanager) always stores Remote", false;
  if (handle && o->newRate && *o->newRate != u"115200")
    return *error = "the handle profile (Corax & Tanager) always stores 115200", false;
  return true;
}

bool SetValue(int id, const std::string& value, CliOptions* o, std::vector<FleetPort>* ports,
              std::string* error) {
  switch (id) {
    case kPort:
      return PortName(value, &o->port, error);
    case kRate:
    case kNewRate: {
      std::u16string rate = platform::Utf8ToWide(value);
      if (RateIndex(rate) < 0)
        return *error = "the rate " + Quoted(value) +
                        " is not one of 4800, 9600, 14400, 19200, 57600, "
                        "115200",
               false;
      (id == kRate ? o->rate : o->newRate.emplace()) = rate;
      return true;
    }
    case kWait:
      if (!Number(value, &o->waitSeconds) || o->waitSeconds < 1)
        return *error = "--wait takes a number of seconds from 1 on", false;
      return true;
    case kJobs:
      if (!Number(value, &o->jobs) || o->jobs < 1 || o->jobs > kMaxJobs)
        return *error = "--jobs takes a number from 1 to " + std::to_string(kMaxJobs), false;
      return true;
    case kDevice: {
      int n = 0;
      if (Number(value, &n)) {
        if (n > radio::kHandleDeviceIndex)
          return *error = "there is no device entry " + value + " (0 to 3)", false;
        o->device = n;
      } else if (KnownDeviceName(platform::Utf8ToWide(value))) {
        o->deviceName = platform::Utf8ToWide(value);
      } else {
        return *error = "unknown device '" + Quoted(value) + "'", false;
      }
      return true;
    }
    case kLink:
    case kPortLink: {
      int n = 0;
      if (!Number(value, &n) || n >= radio::kLinkCount)
        return *error = "the link must be a number from 0 to 15", false;
      o->link = n;
      if (id == kPortLink) o->portLink = n;
      return true;
    }
    case kMode:
    case kBand:
    case kPower: {
      const char* words[3][2] = {{"remote", "base"}, {"worldwide", "usa"}, {"low", "high"}};
      const int which = id == kMode ? 0 : id == kBand ? 1 : 2;
      std::optional<int>& target = id == kMode ? o->mode : id == kBand ? o->bandEntry : o->power;
      for (int i = 0; i < 2; ++i)
        if (Lower(value) == words[which][i]) return target = i, true;
      const char* what = id == kMode ? "mode" : id == kBand ? "band" : "power";
      *error =
          std::string("the ") + what + " must be " + words[which][0] + " or " + words[which][1];
      return false;
    }
    case kPorts:
      for (size_t start = 0;;) {
        size_t comma = value.find(',', start);
        std::string one = value.substr(start, comma - start);
        // "a, b" as people write lists: the blanks around each comma are no part of a name.
        one.erase(0, one.find_first_not_of(" \t"));
        one.erase(one.find_last_not_of(" \t") + 1);
        FleetPort p;
        if (!one.empty() && !PortName(one, &p.port, error)) return false;
        if (!one.empty()) ports->push_back(p);
        if (comma == std::string::npos) return true;
        start = comma + 1;
      }
    case kPortsFile:
      return ReadPortsFile(value, ports, error);
    case kProfile:
      o->profile = value;
      return true;
    case kFleetReport:
      o->fleetReport = value;
      return true;
    case kRunLog:
      o->runLog = value;
      return true;
    case kRetryFailed:
      o->retryFailed = value;
      return true;
    case kReport:
      if (!ReportPathOk(value))
        return *error = "--report writes a .jsonl or a .csv file, not '" + Quoted(value) + "'",
               false;
      o->report = value;
      return true;
  }
  return false;
}

bool ParseFleetJob(const std::vector<std::string>& rest, CliOptions* o, std::string* error);

bool ParseJob(std::vector<std::string> args, CliOptions* o, std::string* error) {
  std::vector<option> table;
  auto add = [&table](const auto& more) {
    table.insert(table.end(), std::begin(more), std::end(more));
  };
  if (o->job == Job::kFleet) {
    add(kFleetOnly);
  } else {
    add(kCommon);
    if (o->job == Job::kRead) add(kReadOnly);
    if (o->job == Job::kSave) add(kSaveOnly);
    if (o->job == Job::kReset) add(kResetOnly);
  }
  table.push_back({"help", no_argument, nullptr, kHelpOption});
  table.push_back({nullptr, 0, nullptr, 0});

  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(args.size());
  optind = 0;  // start afresh: the table differs from one job to the next
  opterr = 0;
  std::vector<FleetPort> ports;
  for (;;) {
    // "+": stop at the first word that is not an option (the fleet's "--" and its job).
    int id = getopt_long(argc, argv.data(), "+:h", table.data(), nullptr);
    if (id == -1) break;
    if (id == kHelpOption) {
      o->job = Job::kHelp;
      return true;
    }
    if (id == ':')
      return *error = std::string("the option ") + argv[optind - 1] + " needs a value", false;
    if (id == kService || id == kJson || id == kYes || id == kVerify || id == kFleetChild ||
        id == kPlan || id == kAlwaysStore || id == kQuiet) {
      bool& flag = id == kService       ? o->service
                   : id == kJson        ? o->json
                   : id == kYes         ? o->yes
                   : id == kVerify      ? o->verify
                   : id == kPlan        ? o->plan
                   : id == kAlwaysStore ? o->alwaysStore
                   : id == kQuiet       ? o->quiet
                                        : o->fleetChild;
      flag = true;
      continue;
    }
    if (id == '?' || !SetValue(id, optarg ? optarg : "", o, &ports, error)) {
      if (id == '?') {
        std::string word = optind >= 1 && optind - 1 < argc ? argv[optind - 1] : "";
        *error = "unknown option " + Quoted(word) + " for " + o->command;
      }
      return false;
    }
  }
  std::vector<std::string> rest(args.begin() + optind, args.end());
  if (o->job != Job::kFleet) {
    if (!rest.empty()) return *error = "unexpected '" + Quoted(rest.front()) + "'", false;
    return CheckAfterParse(o, error);
  }
  if (!o->retryFailed.empty()) {
    if (!ports.empty()) return *error = "--retry-failed takes its ports from the report", false;
    if (!FailedPorts(o->retryFailed, &ports, error)) return false;
    // Nothing failed: nothing to do, which the fleet says in one line.
    if (ports.empty()) return ParseFleetJob(rest, o, error);
  }
  if (ports.empty()) return *error = "fleet needs --ports or --ports-file", false;
  if (!EachDeviceOnce(ports, error)) return false;
  o->ports = ports;
  return ParseFleetJob(rest, o, error);
}

bool ParseFleetJob(const std::vector<std::string>& rest, CliOptions* o, std::string* error) {
  if (rest.empty() || !JobOf(rest.front(), &o->fleetJob) || o->fleetJob == Job::kFleet)
    return *error = "fleet needs a job after --: read, save or reset", false;
  std::vector<std::string> jobArgs(rest.begin() + 1, rest.end());
  for (const std::string& a : jobArgs)
    if (a == "--port" || a.rfind("--port=", 0) == 0 || a == "--fleet-child" || a == "--report" ||
        a.rfind("--report=", 0) == 0 || a.rfind("--fleet-report", 0) == 0 ||
        a.rfind("--run-log", 0) == 0 || a.rfind("--port-link", 0) == 0)
      return *error =
                 "a fleet names its ports with --ports and its report with its own "
                 "--report; " +
                 Quoted(a) + " is not for its job",
             false;
  // The job is checked now, with a stand-in port, so that no port is touched for bad usage.
  CliOptions job;
  job.job = o->fleetJob;
  job.command = rest.front();
  std::vector<std::string> probe = {rest.front()};
  probe.insert(probe.end(), jobArgs.begin(), jobArgs.end());
  probe.push_back("--port=COM1");
  if (!ParseJob(probe, &job, error)) return false;
  if (job.job == Job::kHelp) return *error = "a fleet's job takes no --help", false;
  if (job.job == Job::kReset && !job.yes && !job.plan)
    return *error = "a fleet cannot ask each radio's question: reset needs --yes", false;
  // The job's --json asks for the fleet's JSON Lines; each process reports to the fleet anyway.
  // Its --quiet is the fleet's too.
  o->json = o->json || job.json;
  o->quiet = o->quiet || job.quiet;
  std::erase(jobArgs, std::string("--json"));
  std::erase(jobArgs, std::string("--quiet"));
  o->jobArgs = jobArgs;
  if (o->waitSeconds != 60) o->jobArgs.push_back("--wait=" + std::to_string(o->waitSeconds));
  return true;
}

}  // namespace

int RateIndex(const std::u16string& rate) {
  for (size_t i = 0; i < radio::kBaudRates.size(); ++i)
    if (radio::kBaudRates[i] == rate) return static_cast<int>(i);
  return -1;
}

bool ParseCommandLine(int argc, char** argv, CliOptions* o, std::string* error) {
  *o = CliOptions{};
  if (argc < 2) return *error = "no command given", false;
  const std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    o->job = Job::kHelp;
    if (first == "help" && argc == 3 && HasUsage(argv[2])) return o->command = argv[2], true;
    if (argc == 2) return true;
    return *error = first == "help" ? "help takes one command: read, save, reset, fleet or ports"
                                    : first + " takes nothing more",
           false;
  }
  if (first == "--version") {
    o->job = Job::kVersion;
    return argc == 2 || (*error = "--version takes nothing more", false);
  }
  if (!JobOf(first, &o->job)) return *error = "unknown command '" + Quoted(first) + "'", false;
  o->command = first;
  std::vector<std::string> args(argv + 1, argv + argc);
  return ParseJob(args, o, error);
}

}  // namespace cli
