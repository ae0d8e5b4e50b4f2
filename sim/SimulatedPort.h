#pragma once
// One port name of the in-process simulation as SimulatedPorts keeps it: the radio on the far
// end of the cable (none: a port with nothing on it), the line settings the host last applied
// (they survive a close and reopen, as on a real port), and whether the port is held. Plain
// data, nothing to fail.

#include <memory>

#include "platform/devices/SerialDevice.h"
#include "sim/RadioModem.h"

namespace sim {

struct SimulatedPort {
  std::unique_ptr<RadioModem> radio;
  platform::DCB dcb;
  bool busy = false;  // held by another program
  bool open = false;
  int openCount = 0;
};

}  // namespace sim
