#include "platform/devices/win32/Win32Serial.h"

// Purging, status, event waits, the transport of the timed read and writes: overlapped calls
// whose waits are bounded by WaitForSingleObject, never left pending past their call.
#include <windows.h>

#include <algorithm>
#include <cerrno>

namespace platform {

namespace {

// A write that the system would let block for ever gives up after this long, so that a far
// end that stopped taking bytes cannot freeze the caller.
constexpr DWORD kWriteStallMs = 2000;
// The line errors the record knows, as the system reports them.
constexpr DWORD kLineErrors = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;

// Milliseconds from now until a deadline in microseconds, rounded up; INFINITE for none.
DWORD MsUntil(int64_t nowUs, int64_t deadlineUs) {
  if (deadlineUs == ReadTransport::kNoDeadline) return INFINITE;
  const int64_t left = std::max<int64_t>(deadlineUs - nowUs, 0);
  return static_cast<DWORD>(std::min<int64_t>((left + 999) / 1000, INFINITE - 1));
}

}  // namespace

bool Win32Serial::PurgeComm(uint32_t flags) {
  // Nothing is ever left pending, so the abort flags have nothing to stop. Output is not
  // cleared either: WriteFile returns once a whole line was handed over, and what it handed
  // over belongs on the wire.
  if (!(flags & PURGE_RXCLEAR)) return true;
  haveAhead_ = false;
  if (!::PurgeComm(handle_, PURGE_RXCLEAR)) return FailFromSystem();
  return true;
}

bool Win32Serial::ClearCommError(uint32_t* errors, COMSTAT* stat) {
  if (errors) *errors = 0;
  if (stat) *stat = COMSTAT{};
  DWORD found = 0;
  ::COMSTAT s{};
  if (!::ClearCommError(handle_, &found, &s)) return FailFromSystem();
  if (errors) *errors = found & kLineErrors;
  if (stat) {
    stat->cbInQue = s.cbInQue + (haveAhead_ ? 1 : 0);
    stat->cbOutQue = s.cbOutQue;
  }
  return true;
}

int64_t Win32Serial::InputCount() {
  COMSTAT stat;
  if (!ClearCommError(nullptr, &stat)) return -1;
  return stat.cbInQue;
}

bool Win32Serial::SetCommMask(uint32_t mask) {
  mask_ = mask;
  return true;
}

Win32Serial::Wait Win32Serial::WaitByReading(int64_t deadlineUs) {
  for (;;) {
    if (haveAhead_) return Wait::kReadable;
    DWORD ms = MsUntil(NowUs(), deadlineUs);
    if (ms == INFINITE) ms = 60000;
    if (ms == 0) {
      const int64_t waiting = InputCount();
      return waiting < 0 ? Wait::kFailed : waiting > 0 ? Wait::kReadable : Wait::kDeadline;
    }
    if (!SetPortTimeouts(ms)) return Wait::kFailed;
    OVERLAPPED ov{};
    ov.hEvent = ioEvent_;
    ::ResetEvent(ioEvent_);
    DWORD got = 0;
    bool ok = ::ReadFile(handle_, &ahead_, 1, &got, &ov) != 0;
    if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
      // The port's time-out ends the read; the grace only guards against a driver that
      // does not keep to it.
      if (::WaitForSingleObject(ioEvent_, ms + 2000) != WAIT_OBJECT_0) ::CancelIoEx(handle_, &ov);
      ok = ::GetOverlappedResult(handle_, &ov, &got, TRUE) != 0;
    }
    // A read we called off, or one whose time-out passed (which wine reports as an error),
    // ended without a byte; any other failure is the port's.
    const DWORD error = ok ? 0 : ::GetLastError();
    if (!ok && error != ERROR_OPERATION_ABORTED && error != ERROR_TIMEOUT &&
        error != ERROR_SEM_TIMEOUT) {
      ::SetLastError(error);
      FailFromSystem();
      SetPortTimeouts(0);
      return Wait::kFailed;
    }
    if (!SetPortTimeouts(0)) return Wait::kFailed;
    if (got == 1) {
      haveAhead_ = true;
      return Wait::kReadable;
    }
    if (deadlineUs != kNoDeadline && NowUs() >= deadlineUs) return Wait::kDeadline;
  }
}

Win32Serial::Wait Win32Serial::WaitForEvent(int64_t deadlineUs, uint32_t* events) {
  *events = 0;
  if (haveAhead_) {
    *events = EV_RXCHAR;
    return Wait::kReadable;
  }
  auto byReading = [&] {
    const Wait w = WaitByReading(deadlineUs);
    if (w == Wait::kReadable) *events = EV_RXCHAR;
    return w;
  };
  if (!eventWaitWorks_) return byReading();
  if (!::SetCommMask(handle_, EV_RXCHAR | EV_ERR)) return FailFromSystem(), Wait::kFailed;
  // A byte that came before the wait began ends it at once.
  const int64_t waiting = InputCount();
  if (waiting < 0) return Wait::kFailed;
  if (waiting > 0) {
    *events = EV_RXCHAR;
    return Wait::kReadable;
  }
  OVERLAPPED ov{};
  ov.hEvent = waitEvent_;
  ::ResetEvent(waitEvent_);
  DWORD happened = 0;
  if (!::WaitCommEvent(handle_, &happened, &ov)) {
    if (::GetLastError() != ERROR_IO_PENDING) {
      // A port that is still there but cannot wait for events is waited on by reading.
      if (InputCount() < 0) return Wait::kFailed;
      eventWaitWorks_ = false;
      return byReading();
    }
    const DWORD r = ::WaitForSingleObject(waitEvent_, MsUntil(NowUs(), deadlineUs));
    DWORD ignored = 0;
    if (r != WAIT_OBJECT_0) {
      // The deadline: the wait is called off and seen to its end before it is left, so that
      // nothing of it outlives this call.
      ::CancelIoEx(handle_, &ov);
      ::GetOverlappedResult(handle_, &ov, &ignored, TRUE);
      if (r != WAIT_TIMEOUT) return FailFromSystem(), Wait::kFailed;
      // A byte may have come just as the wait was called off.
      const int64_t late = InputCount();
      if (late < 0) return Wait::kFailed;
      if (late == 0) return Wait::kDeadline;
      *events = EV_RXCHAR;
      return Wait::kReadable;
    }
    if (!::GetOverlappedResult(handle_, &ov, &ignored, FALSE)) {
      // Aborted by the driver itself, not by us: it cannot wait for events on this port.
      if (::GetLastError() != ERROR_OPERATION_ABORTED || InputCount() < 0)
        return FailFromSystem(), Wait::kFailed;
      eventWaitWorks_ = false;
      return byReading();
    }
  }
  *events = happened & (EV_RXCHAR | EV_ERR);
  if (*events == 0) {
    // The mask was changed under the wait (a driver does this when the port goes away, and
    // then the input count fails); otherwise a wake without news waits on.
    if (InputCount() < 0) return Wait::kFailed;
    if (deadlineUs != kNoDeadline && NowUs() >= deadlineUs) return Wait::kDeadline;
    return WaitForEvent(deadlineUs, events);
  }
  return Wait::kReadable;
}

bool Win32Serial::WaitCommEvent(uint32_t* events, uint32_t boundMs) {
  uint32_t dummy = 0;
  if (!events) events = &dummy;
  *events = 0;
  if (mask_ == 0) return Fail(EINVAL);
  uint32_t happened = 0;
  const Wait w = WaitForEvent(NowUs() + static_cast<int64_t>(boundMs) * 1000, &happened);
  if (w == Wait::kFailed) {
    if (!(mask_ & EV_ERR)) return false;
    *events = EV_ERR;
    return true;
  }
  if (w == Wait::kDeadline) return Fail(ETIMEDOUT);
  *events = happened & mask_;
  if (*events == 0) return Fail(ETIMEDOUT);
  return true;
}

int64_t Win32Serial::ReadNow(uint8_t* buf, uint32_t n) {
  int64_t taken = 0;
  if (haveAhead_) {
    // The byte the waiting read took comes first.
    buf[0] = ahead_;
    haveAhead_ = false;
    if (n == 1) return 1;
    ++buf, --n, taken = 1;
  }
  // Only what the input queue holds is asked for, so the read is complete at once whatever a
  // driver makes of the "at once" time-outs (wine waits a second on them).
  ::COMSTAT stat{};
  DWORD errors = 0;
  if (!::ClearCommError(handle_, &errors, &stat))
    return taken ? taken : (FailFromSystem(), kFailed);
  if (stat.cbInQue == 0) return taken;
  n = std::min<uint32_t>(n, stat.cbInQue);
  OVERLAPPED ov{};
  ov.hEvent = ioEvent_;
  ::ResetEvent(ioEvent_);
  DWORD got = 0;
  if (!::ReadFile(handle_, buf, n, &got, &ov)) {
    if (::GetLastError() != ERROR_IO_PENDING) return taken ? taken : (FailFromSystem(), kFailed);
    // With the port's time-outs of "return at once" this completes without waiting for
    // bytes; the bound only guards against a driver that does not keep to them.
    if (::WaitForSingleObject(ioEvent_, 1000) != WAIT_OBJECT_0) {
      ::CancelIoEx(handle_, &ov);
      ::GetOverlappedResult(handle_, &ov, &got, TRUE);
      return taken + got;
    }
    if (!::GetOverlappedResult(handle_, &ov, &got, FALSE))
      return taken ? taken : (FailFromSystem(), kFailed);
  }
  return taken + got;
}

Win32Serial::Wait Win32Serial::WaitReadable(int64_t deadlineUs) {
  uint32_t events = 0;
  const Wait w = WaitForEvent(deadlineUs, &events);
  // A line error with nothing to read is no byte: wait on for the rest of the time.
  if (w == Wait::kReadable && !(events & EV_RXCHAR)) {
    if (InputCount() > 0) return Wait::kReadable;
    return NowUs() >= deadlineUs ? Wait::kDeadline : WaitReadable(deadlineUs);
  }
  return w;
}

bool Win32Serial::WriteFile(const void* buf, uint32_t n, uint32_t* written) {
  uint32_t dummy = 0;
  if (!written) written = &dummy;
  *written = 0;
  if (n == 0) return true;
  const uint64_t totalMs = static_cast<uint64_t>(Timeouts().WriteTotalTimeoutMultiplier) * n +
                           Timeouts().WriteTotalTimeoutConstant;
  // Without a total, the time the bytes need at the line's rate and the stall bound.
  const uint64_t needMs = static_cast<uint64_t>(n) * 10 * 1000 / std::max<uint32_t>(rate_, 300);
  const DWORD boundMs = static_cast<DWORD>(
      std::min<uint64_t>(totalMs > 0 ? totalMs : needMs + kWriteStallMs, INFINITE - 1));
  OVERLAPPED ov{};
  ov.hEvent = ioEvent_;
  ::ResetEvent(ioEvent_);
  DWORD put = 0;
  if (!::WriteFile(handle_, buf, n, &put, &ov)) {
    if (::GetLastError() != ERROR_IO_PENDING) return FailFromSystem();
    if (::WaitForSingleObject(ioEvent_, boundMs) != WAIT_OBJECT_0) {
      // Time is up: like the system, success with the count that made it.
      ::CancelIoEx(handle_, &ov);
      ::GetOverlappedResult(handle_, &ov, &put, TRUE);
      *written = put;
      return true;
    }
    if (!::GetOverlappedResult(handle_, &ov, &put, FALSE)) return FailFromSystem();
  }
  *written = put;
  return true;
}

bool Win32Serial::ConfirmWritten(uint32_t boundMs) {
  const int64_t deadline = NowUs() + static_cast<int64_t>(boundMs) * 1000;
  for (;;) {
    COMSTAT stat;
    if (!ClearCommError(nullptr, &stat)) return false;
    if (stat.cbOutQue == 0) return true;
    if (NowUs() >= deadline) return Fail(ETIMEDOUT);
    ::Sleep(2);
  }
}

}  // namespace platform
