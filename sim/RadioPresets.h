#pragma once
// The registers a radio leaves the factory with ("m0" returns to them), and named starting
// states that show each device entry of the tool:
//   2400                 model 2400 at 9600
//   vireo-us             model 2410 with the US profile (dx 04)
//   vireo-swiss, shrike  model 2410 with the other profile (dx 00)
//   corax                model 2410 with the handle profile at 115200
// A name that is not a preset is refused and the configuration left as it was.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/RadioConfig.h"

namespace sim {

// Every register the model has, at its factory value. The serial rate is not among them.
std::map<std::string, uint32_t> MakerRegisters(int model);
// The model's factory serial rate: 9600 for model 2400, 115200 otherwise.
uint32_t MakerBaud(int model);

bool ApplyPreset(const std::string& name, RadioConfig* config);
std::vector<std::string> PresetNames();

}  // namespace sim
