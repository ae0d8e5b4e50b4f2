#include "cli/CliOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <fstream>

#include "platform/serial/NetworkPortName.h"
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
  kFleetChild,
};

const option kCommon[] = {{"port", required_argument, nullptr, kPort},
                          {"rate", required_argument, nullptr, kRate},
                          {"wait", required_argument, nullptr, kWait},
                          {"json", no_argument, nullptr, kJson},
                          {"fleet-child", no_argument, nullptr, kFleetChild}};
const option kReadOnly[] = {{"service", no_argument, nullptr, kService}};
const option kSaveOnly[] = {{"service", no_argument, nullptr, kService},
                            {"device", required_argument, nullptr, kDevice},
                            {"link", required_argument, nullptr, kLink},
                            {"mode", required_argument, nullptr, kMode},
                            {"new-rate", required_argument, nullptr, kNewRate},
                            {"band", required_argument, nullptr, kBand},
                            {"power", required_argument, nullptr, kPower},
                            {"verify", no_argument, nullptr, kVerify}};
const option kResetOnly[] = {{"yes", no_argument, nullptr, kYes}};
const option kFleetOnly[] = {{"ports", required_argument, nullptr, kPorts},
                             {"ports-file", required_argument, nullptr, kPortsFile}};

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

// A port as the user names it: COM1 to COM3 (any letter case), a device path, or a network
// serial server (rfc2217://HOST:PORT, rfc2217+tls://HOST:PORT).
bool PortName(const std::string& text, std::u16string* port, std::string* error) {
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  if (upper == "COM1" || upper == "COM2" || upper == "COM3") {
    *port = platform::Utf8ToWide(upper);
    return true;
  }
  if (!text.empty() && text.front() == '/' && text.find('\n') == std::string::npos) {
    *port = platform::Utf8ToWide(text);
    return true;
  }
  if (auto network = platform::ParseNetworkPort(text)) {
    *port = platform::Utf8ToWide(network->Name());
    return true;
  }
  *error = "the port '" + text + "' is neither COM1, COM2, COM3, a device path nor " +
           "rfc2217://HOST:PORT";
  return false;
}

bool ReadPortsFile(const std::string& path, std::vector<std::string>* out, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read the ports file '" + path + "'";
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    line.erase(0, line.find_first_not_of(" \t\r"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (!line.empty()) out->push_back(line);
  }
  return true;
}

bool JobOf(const std::string& word, Job* job) {
  if (word == "read")
    *job = Job::kRead;
  else if (word == "save")
    *job = Job::kSave;
  else if (word == "reset")
    *job = Job::kReset;
  else if (word == "fleet")
    *job = Job::kFleet;
  else
    return false;
  return true;
}

bool ParseJob(std::vector<std::string> args, CliOptions* o, std::string* error);

bool CheckAfterParse(CliOptions* o, std::string* error) {
  if (o->job != Job::kFleet && o->port.empty()) {
    *error = "--port is required";
    return false;
  }
  if ((o->bandEntry || o->power) && !o->service) {
    *error = "--band and --power need --service";
    return false;
  }
  const bool handle = o->device == radio::kHandleDeviceIndex ||
                      Lower(platform::WideToUtf8(o->deviceName)) == "corax & tanager";
  if (handle && o->mode == 1) {
    *error = "the handle profile (Corax & Tanager) always stores Remote";
    return false;
  }
  if (handle && o->newRate && *o->newRate != u"115200") {
    *error = "the handle profile (Corax & Tanager) always stores 115200";
    return false;
  }
  return true;
}

bool ParseJob(std::vector<std::string> args, CliOptions* o, std::string* error) {
  std::vector<option> table(std::begin(kCommon), std::end(kCommon));
  switch (o->job) {
    case Job::kRead:
      table.insert(table.end(), std::begin(kReadOnly), std::end(kReadOnly));
      break;
    case Job::kSave:
      table.insert(table.end(), std::begin(kSaveOnly), std::end(kSaveOnly));
      break;
    case Job::kReset:
      table.insert(table.end(), std::begin(kResetOnly), std::end(kResetOnly));
      break;
    case Job::kFleet:
      table = std::vector<option>(std::begin(kFleetOnly), std::end(kFleetOnly));
      table.push_back({"wait", required_argument, nullptr, kWait});
      break;
    default:
      break;
  }
  table.push_back({nullptr, 0, nullptr, 0});

  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(args.size());
  optind = 0;  // start afresh: the table differs from one job to the next
  opterr = 0;
  std::vector<std::string> ports;
  for (;;) {
    int index = -1;
    // "+": stop at the first word that is not an option (the fleet's "--" and its job).
    int id = getopt_long(argc, argv.data(), "+:", table.data(), &index);
    if (id == -1) break;
    const std::string value = optarg ? optarg : "";
    switch (id) {
      case kPort:
        if (!PortName(value, &o->port, error)) return false;
        break;
      case kRate:
      case kNewRate: {
        std::u16string rate = platform::Utf8ToWide(value);
        if (RateIndex(rate) < 0) {
          *error = "the rate " + value + " is not one of 4800, 9600, 14400, 19200, 57600, 115200";
          return false;
        }
        (id == kRate ? o->rate : o->newRate.emplace()) = rate;
        break;
      }
      case kWait:
        if (!Number(value, &o->waitSeconds) || o->waitSeconds < 1) {
          *error = "--wait takes a number of seconds from 1 on";
          return false;
        }
        break;
      case kService:
        o->service = true;
        break;
      case kJson:
        o->json = true;
        break;
      case kYes:
        o->yes = true;
        break;
      case kVerify:
        o->verify = true;
        break;
      case kFleetChild:
        o->fleetChild = true;
        break;
      case kDevice: {
        int n = 0;
        if (Number(value, &n)) {
          if (n >= radio::kHandleDeviceIndex + 1) {
            *error = "there is no device entry " + value + " (0 to 3)";
            return false;
          }
          o->device = n;
        } else if (KnownDeviceName(platform::Utf8ToWide(value))) {
          o->deviceName = platform::Utf8ToWide(value);
        } else {
          *error = "unknown device '" + value + "'";
          return false;
        }
        break;
      }
      case kLink: {
        int n = 0;
        if (!Number(value, &n) || n >= radio::kLinkCount) {
          *error = "the link must be a number from 0 to 15";
          return false;
        }
        o->link = n;
        break;
      }
      case kMode:
        if (Lower(value) == "remote")
          o->mode = 0;
        else if (Lower(value) == "base")
          o->mode = 1;
        else {
          *error = "the mode must be remote or base";
          return false;
        }
        break;
      case kBand:
        if (Lower(value) == "worldwide")
          o->bandEntry = 0;
        else if (Lower(value) == "usa")
          o->bandEntry = 1;
        else {
          *error = "the band must be worldwide or usa";
          return false;
        }
        break;
      case kPower:
        if (Lower(value) == "low")
          o->power = 0;
        else if (Lower(value) == "high")
          o->power = 1;
        else {
          *error = "the power must be low or high";
          return false;
        }
        break;
      case kPorts: {
        size_t start = 0;
        for (;;) {
          size_t comma = value.find(',', start);
          std::string one = value.substr(start, comma - start);
          if (!one.empty()) ports.push_back(one);
          if (comma == std::string::npos) break;
          start = comma + 1;
        }
        break;
      }
      case kPortsFile:
        if (!ReadPortsFile(value, &ports, error)) return false;
        break;
      case ':':
        *error = std::string("the option ") + argv[optind - 1] + " needs a value";
        return false;
      default: {
        std::string word = optind - 1 < argc && optind >= 1 ? argv[optind - 1] : "";
        *error = "unknown option " + word + " for this command";
        return false;
      }
    }
  }
  std::vector<std::string> rest(args.begin() + optind, args.end());

  if (o->job != Job::kFleet) {
    if (!rest.empty()) {
      *error = "unexpected '" + rest.front() + "'";
      return false;
    }
    return CheckAfterParse(o, error);
  }

  if (ports.empty()) {
    *error = "fleet needs --ports or --ports-file";
    return false;
  }
  for (const std::string& p : ports) {
    std::u16string port;
    if (!PortName(p, &port, error)) return false;
    if (std::find(o->ports.begin(), o->ports.end(), port) != o->ports.end()) {
      *error = "the port " + p + " is named twice";
      return false;
    }
    o->ports.push_back(port);
  }
  if (rest.empty() || !JobOf(rest.front(), &o->fleetJob) || o->fleetJob == Job::kFleet) {
    *error = "fleet needs a job after --: read, save or reset";
    return false;
  }
  // The job is checked now, with a stand-in port, so that no port is touched for bad usage.
  CliOptions job;
  job.job = o->fleetJob;
  std::vector<std::string> jobArgs = {rest.front()};
  jobArgs.insert(jobArgs.end(), rest.begin() + 1, rest.end());
  for (const std::string& a : jobArgs)
    if (a == "--port" || a.rfind("--port=", 0) == 0 || a == "--fleet-child") {
      *error = "a fleet names its ports with --ports; " + a + " is not for its job";
      return false;
    }
  std::vector<std::string> probe = jobArgs;
  probe.push_back("--port=COM1");
  if (!ParseJob(probe, &job, error)) return false;
  if (job.job == Job::kReset && !job.yes) {
    *error = "a fleet cannot ask each radio's question: reset needs --yes";
    return false;
  }
  o->jobArgs.assign(jobArgs.begin() + 1, jobArgs.end());
  if (o->waitSeconds != 60) {
    o->jobArgs.push_back("--wait=" + std::to_string(o->waitSeconds));
  }
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
  if (argc < 2) {
    *error = "no command given";
    return false;
  }
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    o->job = Job::kHelp;
    return argc == 2 || (*error = "--help takes nothing more", false);
  }
  if (first == "--version") {
    o->job = Job::kVersion;
    return argc == 2 || (*error = "--version takes nothing more", false);
  }
  if (!JobOf(first, &o->job)) {
    *error = "unknown command '" + first + "'";
    return false;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  return ParseJob(args, o, error);
}

const char* UsageText() {
  return "usage:\n"
         "  qelm-cli read  --port PORT [--rate R] [--service] [--json]\n"
         "  qelm-cli save  --port PORT [--rate R] [--device N|NAME] [--link N]\n"
         "                 [--mode remote|base] [--new-rate R]\n"
         "                 [--service [--band worldwide|usa] [--power low|high]] [--verify]"
         " [--json]\n"
         "  qelm-cli reset --port PORT [--rate R] [--yes] [--json]\n"
         "  qelm-cli fleet --ports PORT,PORT,... (or --ports-file FILE) -- <read|save|reset>"
         " [options]\n"
         "  qelm-cli ports [PORT...]\n"
         "  qelm-cli --help | --version\n"
         "PORT is COM1, COM2, COM3 (mapped by QELM_COM1..3), the path of a serial terminal,\n"
         "or a network serial server: rfc2217://HOST:PORT, rfc2217+tls://HOST:PORT.\n"
         "R is one of 4800, 9600, 14400, 19200, 57600, 115200 (default 115200).\n"
         "--wait SECONDS bounds the wait for an external radio (default 60).\n"
         "Exit status: 0 done, 1 a step failed, 2 the port refused the new rate,\n"
         "3 the port could not be opened or is not open, 64 bad usage.\n";
}

}  // namespace cli
