#pragma once
// What a serial device offers the timed read (TimedRead.h): its clock, the bytes that are
// there now, and a wait for more. The time-out record is not its business; the timed read
// works out from the record how long to wait and tells the device only until when.
//
// Promises on failure: ReadNow and WaitReadable report a failed or vanished device as
// kFailed, with the device's last error set (an errno value, EIO for a device that is gone);
// neither throws. ReadNow never waits; WaitReadable never waits past its deadline.

#include <cstdint>
#include <limits>

namespace platform {

class ReadTransport {
 public:
  // A deadline that never comes: wait until a byte arrives or the device is gone.
  static constexpr int64_t kNoDeadline = std::numeric_limits<int64_t>::max();
  static constexpr int64_t kFailed = -1;
  enum class Wait { kReadable, kDeadline, kFailed };

  virtual ~ReadTransport() = default;
  // The device's own clock in microseconds: the steady clock for a real or network line, the
  // virtual clock for a simulated one. Every deadline given to WaitReadable is on this clock.
  virtual int64_t NowUs() = 0;
  // Moves up to n (> 0) bytes that have arrived into buf without waiting: how many (0 when none
  // are there), or kFailed.
  virtual int64_t ReadNow(uint8_t* buf, uint32_t n) = 0;
  // Returns when a byte can be read (kReadable), when deadlineUs has passed without one
  // (kDeadline), or when the device fails or is gone (kFailed).
  virtual Wait WaitReadable(int64_t deadlineUs) = 0;
};

}  // namespace platform
