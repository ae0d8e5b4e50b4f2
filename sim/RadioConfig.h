#pragma once
// How one radio stand-in starts: its model and firmware, its stored serial rate and stored
// registers (what a start loads into the working registers), whether it is the controller's
// internal radio (powered, and so sending its banner, when its port is opened) or an external
// one (banner when its cable is reconnected), its timings and its faults. Plain data, nothing
// to fail; the presets in RadioPresets.h fill it for the tool's device entries.

#include <cstdint>
#include <map>
#include <string>

#include "sim/RadioFault.h"

namespace sim {

struct RadioConfig {
  int model = 2410;
  std::string firmware = "5.4";  // placed in the banner as given; the tool reads 3 characters
  uint32_t baud = 115200;        // the stored serial rate
  // Stored register values (name to value) over the maker's values of the model.
  std::map<std::string, uint32_t> registers;
  bool internal = false;
  // External radio: the cable counts as reconnected this long after each open of the port
  // (negative: only when asked).
  int reconnectAfterOpenMs = -1;
  uint32_t bootMs = 300;                 // from power (open or reconnect) to the first banner byte
  uint32_t replyDelayUs = 1000;          // from a line end to its reply
  uint32_t slowMs = 400;                 // what the slow fault adds to a reply
  int plugNoiseBytes = 0;                // noise bytes at the moment the cable goes in
  uint32_t seed = 1;                     // for the line noise
  RadioFault fault = RadioFault::kNone;  // for every line of the run
  std::map<std::string, RadioFault> commandFaults;  // for one command line each
};

}  // namespace sim
