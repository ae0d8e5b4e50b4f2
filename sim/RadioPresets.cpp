#include "sim/RadioPresets.h"

namespace sim {

std::map<std::string, uint32_t> MakerRegisters(int model) {
  std::map<std::string, uint32_t> r = {
      {"wb", 1},    {"wn", 0}, {"pe", 0},    {"wp", 1}, {"wu", 0}, {"pn", 0x0F}, {"pr", 0x10},
      {"pw", 0x30}, {"sp", 0}, {"wd", 0x30}, {"wg", 0}, {"wl", 0}, {"pk", 1},    {"pt", 0},
      {"px", 0},    {"zb", 1}, {"zc", 1},    {"zp", 0}, {"zq", 0}, {"wt", 0},
  };
  if (model == 2400) {
    // The older model has no range register and leaves the factory on its own band.
    r["pe"] = 1;
    r["wt"] = 1;
  } else {
    r["dx"] = 4;
  }
  return r;
}

uint32_t MakerBaud(int model) {
  return model == 2400 ? 9600 : 115200;
}

bool ApplyPreset(const std::string& name, RadioConfig* config) {
  RadioConfig c = *config;
  c.registers.clear();
  if (name == "2400") {
    c.model = 2400;
    c.baud = 9600;
    c.registers = {{"pr", 0x10}, {"pe", 1}};
  } else if (name == "vireo-us") {
    c.model = 2410;
    c.baud = 115200;
    c.registers = {{"wb", 1},    {"wn", 3}, {"pn", 1}, {"pw", 0x30},
                   {"pr", 0x10}, {"wu", 1}, {"dx", 4}, {"pe", 0}};
  } else if (name == "vireo-swiss" || name == "shrike") {
    c.model = 2410;
    c.baud = 115200;
    c.registers = {{"wb", 1},    {"wn", 5}, {"pn", 1}, {"pw", 0x34},
                   {"pr", 0x30}, {"wu", 1}, {"dx", 0}, {"pe", 6}};
  } else if (name == "corax") {
    c.model = 2410;
    c.baud = 115200;
    c.registers = {{"sp", 0}, {"wb", 0},    {"wd", 0x30}, {"wg", 0}, {"wl", 0},
                   {"wn", 0}, {"wp", 1},    {"wu", 1},    {"dx", 0}, {"pe", 6},
                   {"pk", 1}, {"pr", 0x30}, {"pt", 0},    {"px", 0}, {"zb", 1},
                   {"zc", 1}, {"zp", 0},    {"zq", 0},    {"pn", 1}};
  } else {
    return false;
  }
  *config = c;
  return true;
}

std::vector<std::string> PresetNames() {
  return {"2400", "vireo-us", "vireo-swiss", "shrike", "corax"};
}

}  // namespace sim
