#pragma once
// The command line of qelm-radio-sim: which radio to stand in for, how it starts, where its
// state and link live, and how much it says. A preset is applied first, then the explicit
// options over it, whatever their order. Options are read with getopt_long, but only as
// spelled out in full ("--baud 9600" or "--baud=9600"); anything else is refused. Parsing never
// exits the program: it reports a bad command line as false with a message, and --help as
// showHelp.

#include <string>

#include "sim/RadioConfig.h"

namespace sim {

struct SimOptions {
  RadioConfig radio;
  std::string preset;
  std::string statePath;
  std::string ptyPath;
  bool quiet = false;
  bool verbose = false;
  bool showHelp = false;
};

bool ParseSimOptions(int argc, char** argv, SimOptions* options, std::string* error);
const char* SimUsage();

}  // namespace sim
