#include "sim/SimulatedPorts.h"

#include <errno.h>

#include "sim/SimulatedSerialDevice.h"

namespace sim {

RadioModem& SimulatedPorts::Attach(const std::u16string& port, const RadioConfig& config) {
  std::unique_ptr<SimulatedPort>& p = ports_[port];
  if (!p) p = std::make_unique<SimulatedPort>();
  p->radio = std::make_unique<RadioModem>(config);
  return *p->radio;
}

void SimulatedPorts::SetBusy(const std::u16string& port, bool busy) {
  std::unique_ptr<SimulatedPort>& p = ports_[port];
  if (!p) p = std::make_unique<SimulatedPort>();
  p->busy = busy;
}

void SimulatedPorts::ScheduleReconnect(const std::u16string& port, uint64_t delayUs) {
  if (RadioModem* radio = Radio(port)) radio->ReconnectCable(clock_.NowUs() + delayUs);
}

RadioModem* SimulatedPorts::Radio(const std::u16string& port) {
  auto it = ports_.find(port);
  return it == ports_.end() ? nullptr : it->second->radio.get();
}

const SimulatedPort* SimulatedPorts::Find(const std::u16string& port) const {
  auto it = ports_.find(port);
  return it == ports_.end() ? nullptr : it->second.get();
}

bool SimulatedPorts::IsOpen(const std::u16string& port) const {
  const SimulatedPort* p = Find(port);
  return p && p->open;
}

int SimulatedPorts::OpenCount(const std::u16string& port) const {
  const SimulatedPort* p = Find(port);
  return p ? p->openCount : 0;
}

platform::DCB SimulatedPorts::LineSettings(const std::u16string& port) const {
  const SimulatedPort* p = Find(port);
  return p ? p->dcb : platform::DCB{};
}

std::unique_ptr<platform::SerialDevice> SimulatedPorts::CreateFile(const std::u16string& portDevice,
                                                                   int* lastError) {
  int dummy = 0;
  if (!lastError) lastError = &dummy;
  auto it = ports_.find(portDevice);
  uint64_t now = clock_.NowUs();
  if (it == ports_.end()) {
    *lastError = ENOENT;
    return nullptr;
  }
  SimulatedPort& port = *it->second;
  if (port.radio) port.radio->Tick(now);
  // A device that has vanished is not there to be opened, like an adapter pulled out.
  if (port.radio && port.radio->VanishedBy(now)) {
    *lastError = ENOENT;
    return nullptr;
  }
  if (port.busy || port.open) {
    *lastError = EBUSY;
    return nullptr;
  }
  port.open = true;
  ++port.openCount;
  if (port.radio) {
    // What the radio said while nobody listened is gone.
    port.radio->DropOutputUpTo(now);
    port.radio->OnPortOpened(now);
  }
  return std::make_unique<SimulatedSerialDevice>(clock_, port);
}

}  // namespace sim
