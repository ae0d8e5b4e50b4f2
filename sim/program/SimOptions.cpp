#include "sim/program/SimOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <type_traits>
#include <vector>

#include "sim/RadioPresets.h"
#include "sim/RateCodes.h"

namespace sim {

namespace {

// How an argument names its option in a message: a long option without its "=value".
std::string OptionName(const std::string& arg) {
  if (arg.rfind("--", 0) == 0) return arg.substr(0, arg.find('='));
  return arg;
}

bool ToNumber(const std::string& text, long min, long max, long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

const char* SimUsage() {
  return "usage: qelm-radio-sim [options]\n"
         "Serves a stand-in for the 2400/2410 radio modem on a pseudo-terminal. The first line\n"
         "printed is the path of the program's end (/dev/pts/N); point QELM_COM1..3 at it.\n"
         "\n"
         "  --model 2400|2410       radio model (default 2410)\n"
         "  --firmware TEXT         firmware text in the banner (default 5.4)\n"
         "  --baud RATE             the radio's stored serial rate (default 115200; 9600 for\n"
         "                          model 2400)\n"
         "  --preset NAME           starting state: 2400, vireo-us, vireo-swiss, shrike, corax\n"
         "  --internal              the controller's internal radio: banner each time the\n"
         "                          port is opened\n"
         "  --external              an external radio (default): banner when the cable is\n"
         "                          reconnected: on Enter, on SIGUSR1, or MS milliseconds\n"
         "                          after each open of the port with\n"
         "  --reconnect-after-open MS\n"
         "  --boot-ms MS            from power to the first banner byte (default 300)\n"
         "  --state FILE            stored registers and rate: loaded at start, written on\n"
         "                          every \"m>\" and at exit\n"
         "  --path PATH             place a symbolic link to the pseudo-terminal at PATH\n"
         "                          (an existing link is replaced; removed at exit)\n"
         "  --fault MODE[=COMMAND]  misbehave on every line, or on one command line only;\n"
         "                          MODE: no-prompt, silence, endless-talk, garbage, slow,\n"
         "                          vanish (repeatable)\n"
         "  --slow-ms MS            what the slow fault adds to a reply (default 400)\n"
         "  --plug-noise N          noise bytes when the cable goes in (default 0)\n"
         "  --seed N                seed of the line noise (default 1)\n"
         "  --quiet                 say nothing on stderr but errors\n"
         "  --verbose               also log every line and byte received\n"
         "  --help                  this text\n"
         "\n"
         "When the port's rate differs from the radio's, both directions carry noise (bytes\n"
         "0x80-0xFF). Unknown commands are answered with CR LF \"ERR\" CR LF \">\".\n"
         "SIGINT, SIGTERM and SIGHUP end it cleanly. The fault \"vanish\" closes the "
         "pseudo-terminal\n"
         "and ends the program.\n";
}

bool ParseSimOptions(int argc, char** argv, SimOptions* options, std::string* error) {
  SimOptions o;
  std::string model, firmware, baud, reconnect, boot, slow, noise, seed;
  std::vector<std::string> faults;
  bool internal = false, external = false;

  enum : int {
    kQuiet = 256,
    kVerbose,
    kInternal,
    kExternal,
    kModel,
    kFirmware,
    kBaud,
    kPreset,
    kBootMs,
    kReconnect,
    kSlowMs,
    kPlugNoise,
    kSeed,
    kState,
    kPath,
    kFault
  };
  static const option kLong[] = {{"help", no_argument, nullptr, 'h'},
                                 {"quiet", no_argument, nullptr, kQuiet},
                                 {"verbose", no_argument, nullptr, kVerbose},
                                 {"internal", no_argument, nullptr, kInternal},
                                 {"external", no_argument, nullptr, kExternal},
                                 {"model", required_argument, nullptr, kModel},
                                 {"firmware", required_argument, nullptr, kFirmware},
                                 {"baud", required_argument, nullptr, kBaud},
                                 {"preset", required_argument, nullptr, kPreset},
                                 {"boot-ms", required_argument, nullptr, kBootMs},
                                 {"reconnect-after-open", required_argument, nullptr, kReconnect},
                                 {"slow-ms", required_argument, nullptr, kSlowMs},
                                 {"plug-noise", required_argument, nullptr, kPlugNoise},
                                 {"seed", required_argument, nullptr, kSeed},
                                 {"state", required_argument, nullptr, kState},
                                 {"path", required_argument, nullptr, kPath},
                                 {"link", required_argument, nullptr, kPath},  // older spelling
                                 {"fault", required_argument, nullptr, kFault},
                                 {nullptr, 0, nullptr, 0}};
  std::map<int, std::string*> valued = {
      {kModel, &model}, {kFirmware, &firmware},   {kBaud, &baud},     {kPreset, &o.preset},
      {kBootMs, &boot}, {kReconnect, &reconnect}, {kSlowMs, &slow},   {kPlugNoise, &noise},
      {kSeed, &seed},   {kState, &o.statePath},   {kPath, &o.ptyPath}};

  // Options are taken in order ("-" first: an argument that is not an option comes back as
  // one, to be refused, instead of being moved to the end), with no messages of getopt's own
  // (":" after it: a missing value is told apart from an unknown option).
  opterr = 0;
  optind = 0;  // a fresh start, also when called more than once
  for (;;) {
    const int at = std::max(optind, 1);  // 0 stands for the first argument
    int index = -1;
    const int c = getopt_long(argc, argv, "-:h", kLong, &index);
    if (c == -1) {
      // Only "--" ends the options early here; it is not an option of this program.
      if (at >= argc) break;
      *error = "unknown option " + std::string(argv[at]);
      return false;
    }
    const std::string given = at < argc ? OptionName(argv[at]) : std::string();
    // Only an option spelled out in full counts: getopt would also take an abbreviation, or
    // "-h" with more letters after it. A missing value leaves the option in optopt.
    if (c == ':' && index < 0) {
      for (int i = 0; kLong[i].name; ++i)
        if (kLong[i].val == optopt) index = i;
    }
    const bool exact =
        index >= 0 ? given == std::string("--") + kLong[index].name : c == 'h' && given == "-h";
    if (c == ':' && exact) {
      *error = given + " needs a value";
      return false;
    }
    if (c == '?' || c == ':' || c == 1 || !exact) {
      *error = "unknown option " + given;
      return false;
    }
    if (c == 'h') {
      o.showHelp = true;
    } else if (c == kQuiet) {
      o.quiet = true;
    } else if (c == kVerbose) {
      o.verbose = true;
    } else if (c == kInternal) {
      internal = true;
    } else if (c == kExternal) {
      external = true;
    } else if (c == kFault) {
      faults.emplace_back(optarg);
    } else {
      *valued.at(c) = optarg;
    }
  }
  if (internal && external) {
    *error = "--internal and --external exclude each other";
    return false;
  }
  if (!o.preset.empty() && !ApplyPreset(o.preset, &o.radio)) {
    *error = "unknown preset " + o.preset;
    return false;
  }
  long n = 0;
  if (!model.empty()) {
    if (!ToNumber(model, 1000, 9999, &n)) {
      *error = "--model needs a four-digit number";
      return false;
    }
    o.radio.model = static_cast<int>(n);
    // A model given without a preset starts at that model's factory rate.
    if (o.preset.empty() && baud.empty()) o.radio.baud = MakerBaud(o.radio.model);
  }
  if (!firmware.empty()) o.radio.firmware = firmware;
  if (!baud.empty()) {
    if (!ToNumber(baud, 1, 4000000, &n)) {
      *error = "--baud needs a rate";
      return false;
    }
    o.radio.baud = static_cast<uint32_t>(n);
  }
  if (CodeForRate(o.radio.model, o.radio.baud).empty()) {
    *error =
        "model " + std::to_string(o.radio.model) + " has no rate " + std::to_string(o.radio.baud);
    return false;
  }
  o.radio.internal = internal;
  auto number = [&](const std::string& text, long max, const char* name, auto* field) {
    if (text.empty()) return true;
    if (!ToNumber(text, 0, max, &n)) {
      *error = std::string(name) + " needs a number from 0 to " + std::to_string(max);
      return false;
    }
    *field = static_cast<std::remove_pointer_t<decltype(field)>>(n);
    return true;
  };
  if (!number(reconnect, 3600000, "--reconnect-after-open", &o.radio.reconnectAfterOpenMs) ||
      !number(boot, 60000, "--boot-ms", &o.radio.bootMs) ||
      !number(slow, 60000, "--slow-ms", &o.radio.slowMs) ||
      !number(noise, 1000, "--plug-noise", &o.radio.plugNoiseBytes) ||
      !number(seed, 0x7FFFFFFF, "--seed", &o.radio.seed))
    return false;
  for (const std::string& f : faults) {
    size_t eq = f.find('=');
    RadioFault fault;
    if (!ParseFault(f.substr(0, eq), &fault)) {
      *error = "unknown fault " + f.substr(0, eq);
      return false;
    }
    if (eq == std::string::npos)
      o.radio.fault = fault;
    else
      o.radio.commandFaults[f.substr(eq + 1)] = fault;
  }
  *options = o;
  return true;
}

}  // namespace sim
