#pragma once
// The serial device on Windows: a COM port opened through the system's comm API
// (CreateFileW on "\\.\COMn", overlapped), beside the termios device of Linux and behind the
// same interface. Opening takes the port exclusively (share mode 0, with which the system
// refuses every other opener; and a named mutex per port, which refuses cooperating programs
// where the system does not, as wine does not), remembers the line settings and time-outs it
// found and puts the line at once into the record's raw 8N1 form at the rate the port holds;
// every SetCommState sets the whole line from the record, and a rate the driver does not take
// is refused rather than left in doubt. The port's own time-outs are set so that a read
// returns at once with what is there: the time-out rule of TimedRead.h is applied above, once
// for all devices, and this device only reads what is there and waits (WaitCommEvent,
// overlapped, bounded by a WaitForSingleObject) until a deadline. A driver that cannot wait
// for an event (wine on a pseudo-terminal aborts the wait at once: it has no modem lines
// there) is waited on instead with a one-byte read bounded by the port's own time-out, and
// the byte is kept for the next read. Closing lets queued output leave (bounded) and gives the
// port back the line settings and time-outs it was found with.
//
// Promises on failure: every call returns false (or kFailed) with an errno value in
// LastError(): EBUSY for a port another program holds, ENOENT for one that does not exist,
// ENOTTY for a device that is no serial port, EIO for a port that has gone. No wait lasts past
// its bound; nothing throws.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/devices/TimedSerialDevice.h"

namespace platform {

class Win32Serial final : public TimedSerialDevice {
 public:
  // Opens an existing port by its device name ("\\.\COM3"); nullptr with *lastError when it
  // cannot be opened.
  static std::unique_ptr<Win32Serial> Open(const std::string& device, int* lastError);
  ~Win32Serial() override;
  Win32Serial(const Win32Serial&) = delete;
  Win32Serial& operator=(const Win32Serial&) = delete;

  bool GetCommState(DCB& dcb) override;
  bool SetCommState(const DCB& dcb) override;
  bool PurgeComm(uint32_t flags) override;
  bool ClearCommError(uint32_t* errors, COMSTAT* stat) override;
  bool SetCommMask(uint32_t mask) override;
  bool WaitCommEvent(uint32_t* events, uint32_t boundMs) override;
  bool WriteFile(const void* buf, uint32_t n, uint32_t* written) override;
  bool ConfirmWritten(uint32_t boundMs) override;
  int LastError() const override { return lastError_; }

  // Gives every port this process has open its found settings back (a program told to stop
  // at once, which runs no destructors). Safe from any thread.
  static void RestoreAll();

 private:
  struct Saved;
  // What the port was found with, given back (nothing where it could not be read).
  static void GiveBack(void* handle, const Saved& saved);
  explicit Win32Serial(void* handle);
  int64_t NowUs() override;
  int64_t ReadNow(uint8_t* buf, uint32_t n) override;
  Wait WaitReadable(int64_t deadlineUs) override;
  bool Fail(int error);
  bool FailFromSystem();
  // Bytes in the input queue; -1 (lastError_ set) when the port has failed.
  int64_t InputCount();
  // Waits for a received byte or a line error until the deadline (kNoDeadline: without one).
  Wait WaitForEvent(int64_t deadlineUs, uint32_t* events);
  // The same by a one-byte read that waits for its first byte up to the deadline.
  Wait WaitByReading(int64_t deadlineUs);
  bool SetPortTimeouts(uint32_t waitMs);
  void WaitOutputSent();

  void* handle_ = nullptr;
  void* ioEvent_ = nullptr;    // the overlapped reads' and writes'
  void* waitEvent_ = nullptr;  // the overlapped WaitCommEvent's
  void* claim_ = nullptr;      // the port's named mutex
  bool eventWaitWorks_ = true;
  bool haveAhead_ = false;  // a byte the waiting read took, for the next read
  uint8_t ahead_ = 0;
  std::unique_ptr<Saved> saved_;
  int lastError_ = 0;
  uint32_t mask_ = 0;
  uint32_t rate_ = 9600;
};

}  // namespace platform
