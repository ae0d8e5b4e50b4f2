#pragma once
// A serial device joined in-process to a radio stand-in, on the virtual clock. Waiting is done
// by advancing that clock: a read that finds nothing jumps to the next byte's arrival or to its
// time-out, whichever is first, so a test's 100 ms read time-out costs exactly 100 ms of
// virtual time and no real time; the time-out rule itself is the one of every device
// (platform/devices/TimedRead.h), on this clock. Bytes the radio sends are taken into an input
// queue of 4096 bytes once they have arrived; what overflows it is lost and reported as CE_RXOVER,
// and a byte that crossed at the wrong rate (or a frame other than 8 data bits without parity) is
// noise, reported as CE_FRAME. Writes reach the radio at once, paced on the line from there.
//
// Purging the input drops what has arrived by now; the radio keeps talking after that, and
// the abort and output flags have nothing to act on. WaitCommEvent ends at once when bytes
// are waiting, with EV_RXCHAR at the next arrival within its bound, and with EV_ERR when the
// device vanishes.
//
// Promises on failure: once the radio has vanished every call but GetCommState and the
// mask and time-out setters fails with EIO; nothing ever blocks, because the clock only
// moves forward to events that are already scheduled.

#include <cstdint>
#include <deque>

#include "platform/devices/TimedSerialDevice.h"
#include "platform/system/Clock.h"
#include "sim/SimulatedPort.h"

namespace sim {

class SimulatedSerialDevice final : public platform::TimedSerialDevice {
 public:
  SimulatedSerialDevice(platform::VirtualClock& clock, SimulatedPort& port);
  ~SimulatedSerialDevice() override;
  SimulatedSerialDevice(const SimulatedSerialDevice&) = delete;
  SimulatedSerialDevice& operator=(const SimulatedSerialDevice&) = delete;

  bool GetCommState(platform::DCB& dcb) override;
  bool SetCommState(const platform::DCB& dcb) override;
  bool PurgeComm(uint32_t flags) override;
  bool ClearCommError(uint32_t* errors, platform::COMSTAT* stat) override;
  bool SetCommMask(uint32_t mask) override;
  bool WaitCommEvent(uint32_t* events, uint32_t boundMs) override;
  bool WriteFile(const void* buf, uint32_t n, uint32_t* written) override;
  int LastError() const override { return lastError_; }

 private:
  enum class Awaited { kByte, kDeadline, kVanished };

  bool Fail(int error);
  // The transport of the timed read, on the virtual clock. A vanished device fails even with
  // bytes waiting: they went with it.
  int64_t NowUs() override { return static_cast<int64_t>(clock_.NowUs()); }
  int64_t ReadNow(uint8_t* buf, uint32_t n) override;
  Wait WaitReadable(int64_t deadlineUs) override;
  // The rate the radio must match; 0 when the host's frame is one the radio cannot read.
  uint32_t HostBaud() const;
  bool Vanished() const;
  // Takes into the input queue what has arrived by now.
  void Pump();
  // Moves the clock to the first byte's arrival (or the device's end) before deadlineUs, or
  // to deadlineUs; UINT64_MAX waits for as long as anything at all is scheduled.
  Awaited Await(uint64_t deadlineUs);

  platform::VirtualClock& clock_;
  SimulatedPort& port_;
  std::deque<uint8_t> input_;
  uint32_t errors_ = 0;
  uint32_t mask_ = 0;
  int lastError_ = 0;
};

}  // namespace sim
