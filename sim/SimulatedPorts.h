#pragma once
// The in-process serial provider for tests and demos: port names ("COM1:" to "COM3:") joined
// to radio stand-ins on the virtual clock. Install it with platform::SetSerialProvider(&ports)
// and the program's serial port opens simulated devices (SimulatedSerialDevice.h):
//
//   platform::VirtualClock clock;
//   sim::SimulatedPorts ports(clock);
//   sim::RadioModem& radio = ports.Attach(u"COM1:", config);
//   ports.SetBusy(u"COM2:", true);        // exists, held by another program
//   platform::SetSerialProvider(&ports);
//   ...
//   ports.ScheduleReconnect(u"COM1:", 500000);  // the user replugs the cable in 0.5 s
//   EXPECT_EQ(radio.Commands(), ...);
//
// Opening fails with ENOENT for a name nothing is attached to (and while its radio has
// vanished), with EBUSY for a busy port or one that is already open. Nothing else fails here.
// The ports must outlive the devices opened from them.

#include <map>
#include <memory>
#include <string>

#include "platform/devices/SerialDevice.h"
#include "platform/system/Clock.h"
#include "sim/RadioConfig.h"
#include "sim/RadioModem.h"
#include "sim/SimulatedPort.h"

namespace sim {

class SimulatedPorts final : public platform::SerialProvider {
 public:
  explicit SimulatedPorts(platform::VirtualClock& clock) : clock_(clock) {}
  SimulatedPorts(const SimulatedPorts&) = delete;
  SimulatedPorts& operator=(const SimulatedPorts&) = delete;

  // Puts a radio on the port (replacing one there before); the port exists from now on.
  RadioModem& Attach(const std::u16string& port, const RadioConfig& config);
  // Makes the port exist (with nothing on it, unless a radio is attached) and held or free.
  void SetBusy(const std::u16string& port, bool busy);
  // The cable of the port's radio is reconnected delayUs from now.
  void ScheduleReconnect(const std::u16string& port, uint64_t delayUs);

  RadioModem* Radio(const std::u16string& port);
  bool IsOpen(const std::u16string& port) const;
  int OpenCount(const std::u16string& port) const;
  // The line settings the host last applied to the port.
  platform::DCB LineSettings(const std::u16string& port) const;

  std::unique_ptr<platform::SerialDevice> CreateFile(const std::u16string& portDevice,
                                                     int* lastError) override;

 private:
  const SimulatedPort* Find(const std::u16string& port) const;

  platform::VirtualClock& clock_;
  std::map<std::u16string, std::unique_ptr<SimulatedPort>> ports_;
};

}  // namespace sim
