#pragma once
// The serial device on Linux: real ports, USB adapters and pseudo-terminals alike, driven
// through termios2 so that every rate (14400 included) is set the same way. Opening takes the
// device exclusively (an advisory flock that cooperating programs honour, plus TIOCEXCL),
// remembers the line settings it found and puts the line into raw mode at once; every
// SetCommState sets the whole line again from the record rather than trusting what an earlier
// user left behind. Closing lets queued output leave (bounded) and gives the line back the
// settings it was found with, so a probe that only opens and closes changes nothing and the
// next program finds the port as it was; the modem lines are not restored. Reads (under the
// time-out rule of TimedRead.h) and event waits sleep in poll() on the real steady clock,
// bounded by the time-outs, never spinning.
//
// Promises on failure: every call returns false and leaves the errno of the failing system
// call in LastError(). A device that vanishes (hang-up, I/O error, the far end of a
// pseudo-terminal closed) fails the read, write or wait that meets it; none of them hangs.
// Modem-line calls that the device does not have (ENOTTY on a pseudo-terminal) are not errors.
//
// The unit's parts: opening and closing (TermiosSerial.cpp), the line settings
// (TermiosSerialLine.cpp), and purging, status, waits, reads and writes (TermiosSerialIo.cpp).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/devices/TimedSerialDevice.h"

// The kernel's line-settings record (asm/termbits.h), which cannot share a unit with termios.h.
struct termios2;

namespace platform {

class TermiosSerial final : public TimedSerialDevice {
 public:
  // Opens an existing device path; nullptr with *lastError (an errno value) when it cannot be
  // opened, is held by another program (EBUSY: it holds the lock, or has the device open at
  // all) or is not a terminal (ENOTTY; anything but a character device is not even opened).
  static std::unique_ptr<TermiosSerial> Open(const std::string& path, int* lastError);
  ~TermiosSerial() override;
  TermiosSerial(const TermiosSerial&) = delete;
  TermiosSerial& operator=(const TermiosSerial&) = delete;

  bool GetCommState(DCB& dcb) override;
  bool SetCommState(const DCB& dcb) override;
  bool PurgeComm(uint32_t flags) override;
  bool ClearCommError(uint32_t* errors, COMSTAT* stat) override;
  bool SetCommMask(uint32_t mask) override;
  bool WaitCommEvent(uint32_t* events, uint32_t boundMs) override;
  bool WriteFile(const void* buf, uint32_t n, uint32_t* written) override;
  bool ConfirmWritten(uint32_t boundMs) override;
  int LastError() const override { return lastError_; }

 private:
  explicit TermiosSerial(int fd);
  // The transport of the timed read: the steady clock, read() and poll().
  int64_t NowUs() override;
  int64_t ReadNow(uint8_t* buf, uint32_t n) override;
  Wait WaitReadable(int64_t deadlineUs) override;
  bool Fail(int error);
  bool ApplyLine(const DCB& dcb);
  bool SetModemLines(const DCB& dcb);
  // Waits for the descriptor; 1 ready, 0 time-out, -1 failure (lastError_ set). A hang-up
  // or error condition is a failure with EIO. A negative bound waits without one.
  int PollFor(short events, int64_t boundUs);
  // The same until a deadline of NowUs(); kNoDeadline waits without one.
  int PollUntil(short events, int64_t deadlineUs);
  bool HungUp() const;
  uint32_t TakeLineErrors();
  void WaitOutputSent();

  int fd_ = -1;
  std::unique_ptr<termios2> saved_;  // null when the settings could not be read
  int lastError_ = 0;
  uint32_t mask_ = 0;
  // The record fields termios cannot hold, returned as they were last set.
  DCB shadow_;
  // Line-error counters at the last ClearCommError, for ports that keep them.
  uint32_t frames_ = 0, overruns_ = 0, parities_ = 0, breaks_ = 0, bufOverruns_ = 0;
};

}  // namespace platform
