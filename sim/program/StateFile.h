#pragma once
// The radio's stored state between runs of qelm-radio-sim: its stored serial rate and stored
// registers, one "name=value" per line ("baud=115200", "wn=0A"; register values in hex).
// Saving writes a temporary file beside the target and renames it over, so a reader sees the
// old state or the new, never half of one. A missing file loads as nothing to change; a
// malformed one, or a failed save, is reported as false with a message.

#include <string>

#include "sim/RadioConfig.h"
#include "sim/RadioModem.h"

namespace sim {

bool LoadState(const std::string& path, RadioConfig* config, std::string* error);
bool SaveState(const std::string& path, const RadioModem& radio, std::string* error);

}  // namespace sim
