#pragma once
// The ways the radio stand-in can misbehave, for tests and demos. A fault is chosen for a whole
// run or for one command line (matched exactly, for example "wn?" or ":wit2400"):
//   no-prompt     the reply comes without its closing ">"
//   silence       the line is not heard: no echo, no reply, no effect
//   endless-talk  the line takes effect, then the radio sends bytes for ever
//   garbage       the line takes effect, but its echo and reply arrive as line noise
//   slow          the reply after the line end comes late (RadioConfig::slowMs)
//   vanish        the device disappears at the line end: reads and writes fail from then on
// A fault of one line is only known at the line's end, so its echo is withdrawn or spoiled
// then; an echo byte a real-time transport has already passed on cannot be called back.
// Names that are not faults are refused by ParseFault, which then leaves *fault alone.

#include <string_view>

namespace sim {

enum class RadioFault { kNone, kNoPrompt, kSilence, kEndlessTalk, kGarbage, kSlow, kVanish };

bool ParseFault(std::string_view name, RadioFault* fault);
const char* FaultName(RadioFault fault);

}  // namespace sim
