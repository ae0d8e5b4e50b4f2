#pragma once
// The serial devices' common ground between SerialDevice and each kind of device: it keeps
// the time-out record and reads under it with the one rule of TimedRead.h, so that a device
// only supplies its transport (ReadTransport.h: its clock, what is there now, a wait until a
// deadline) besides its line settings, status, events and writes. The write time-outs are in
// the same record; Timeouts() gives them to the device's WriteFile.
//
// Promises on failure: those of TimedRead.h; setting the time-outs never fails.

#include <cstdint>

#include "platform/devices/ReadTransport.h"
#include "platform/devices/SerialDevice.h"
#include "platform/devices/TimedRead.h"

namespace platform {

class TimedSerialDevice : public SerialDevice, protected ReadTransport {
 public:
  bool SetCommTimeouts(const COMMTIMEOUTS& t) final {
    timeouts_ = t;
    return true;
  }
  bool ReadFile(void* buf, uint32_t n, uint32_t* got) final {
    return TimedRead(*this, timeouts_, buf, n, got);
  }

 protected:
  const COMMTIMEOUTS& Timeouts() const { return timeouts_; }

 private:
  COMMTIMEOUTS timeouts_;
};

}  // namespace platform
