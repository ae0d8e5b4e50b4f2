#include "platform/devices/TermiosSerial.h"

// Purging, status, event waits, the transport of the timed read and writes: poll() on the
// steady clock, bounded by the time-outs.
#include <asm/termbits.h>
#include <errno.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

namespace {

// A write that the platform would let block for ever gives up after this long without
// progress, so that a far end that stopped reading cannot freeze the caller.
constexpr int64_t kWriteStallUs = 2000000;

}  // namespace

bool TermiosSerial::PurgeComm(uint32_t flags) {
  // Nothing is ever left pending in the background, so the abort flags have nothing to stop.
  // Output is not flushed either: WriteFile returns only once all of a line was handed over,
  // and what it handed over belongs on the wire. Flushing it would drop a raw line ("m0",
  // "sd..") that the far end has not read yet, as a pseudo-terminal keeps it until then.
  if (!(flags & PURGE_RXCLEAR)) return true;
  if (::ioctl(fd_, TCFLSH, TCIFLUSH) != 0) return Fail(errno);
  return true;
}

uint32_t TermiosSerial::TakeLineErrors() {
  serial_icounter_struct ic{};
  // Pseudo-terminals and many adapters keep no counters; they simply report no errors.
  if (::ioctl(fd_, TIOCGICOUNT, &ic) != 0) return 0;
  uint32_t errors = 0;
  if (static_cast<uint32_t>(ic.frame) != frames_) errors |= CE_FRAME;
  if (static_cast<uint32_t>(ic.overrun) != overruns_) errors |= CE_OVERRUN;
  if (static_cast<uint32_t>(ic.parity) != parities_) errors |= CE_RXPARITY;
  if (static_cast<uint32_t>(ic.brk) != breaks_) errors |= CE_BREAK;
  if (static_cast<uint32_t>(ic.buf_overrun) != bufOverruns_) errors |= CE_RXOVER;
  frames_ = ic.frame;
  overruns_ = ic.overrun;
  parities_ = ic.parity;
  breaks_ = ic.brk;
  bufOverruns_ = ic.buf_overrun;
  return errors;
}

bool TermiosSerial::ClearCommError(uint32_t* errors, COMSTAT* stat) {
  if (errors) *errors = 0;
  if (stat) *stat = COMSTAT{};
  // A pseudo-terminal whose far end has gone still counts its queue happily; the hang-up is
  // only visible to poll.
  if (HungUp()) return Fail(EIO);
  int inQueue = 0, outQueue = 0;
  if (::ioctl(fd_, FIONREAD, &inQueue) != 0) return Fail(errno);
  if (::ioctl(fd_, TIOCOUTQ, &outQueue) != 0) outQueue = 0;
  if (errors) *errors = TakeLineErrors();
  if (stat) {
    stat->cbInQue = static_cast<uint32_t>(std::max(inQueue, 0));
    stat->cbOutQue = static_cast<uint32_t>(std::max(outQueue, 0));
  }
  return true;
}

bool TermiosSerial::SetCommMask(uint32_t mask) {
  mask_ = mask;
  return true;
}

bool TermiosSerial::HungUp() const {
  pollfd p{fd_, 0, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

int TermiosSerial::PollFor(short events, int64_t boundUs) {
  return PollUntil(events, boundUs < 0 ? kNoDeadline : NowUs() + boundUs);
}

int TermiosSerial::PollUntil(short events, int64_t deadlineUs) {
  for (;;) {
    pollfd p{fd_, events, 0};
    timespec ts{};
    timespec* tsp = nullptr;
    if (deadlineUs != kNoDeadline) {
      int64_t left = std::max<int64_t>(deadlineUs - NowUs(), 0);
      ts.tv_sec = static_cast<time_t>(left / 1000000);
      ts.tv_nsec = static_cast<long>((left % 1000000) * 1000);
      tsp = &ts;
    }
    int r = ::ppoll(&p, 1, tsp, nullptr);
    if (r < 0) {
      if (errno == EINTR) continue;
      lastError_ = errno;
      return -1;
    }
    if (r == 0) return 0;
    // Readiness first: bytes that came before a hang-up are still worth reading.
    if (p.revents & events) return 1;
    lastError_ = EIO;
    return -1;
  }
}

bool TermiosSerial::WaitCommEvent(uint32_t* events, uint32_t boundMs) {
  uint32_t dummy = 0;
  if (!events) events = &dummy;
  *events = 0;
  if (mask_ == 0) return Fail(EINVAL);
  bool wantChar = mask_ & EV_RXCHAR;
  if (wantChar) {
    int waiting = 0;
    // A reply that was complete before the wait began ends it at once.
    if (::ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0) {
      *events = EV_RXCHAR;
      return true;
    }
  }
  int r = PollFor(wantChar ? POLLIN : 0, static_cast<int64_t>(boundMs) * 1000);
  // A hung-up terminal polls readable although nothing is left to read.
  if (r > 0 && HungUp()) {
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0 || waiting == 0) r = -1;
  }
  if (r > 0) {
    *events = EV_RXCHAR;
    return true;
  }
  if (r == 0) return Fail(ETIMEDOUT);
  if (!(mask_ & EV_ERR)) return false;
  *events = EV_ERR;
  return true;
}

int64_t TermiosSerial::ReadNow(uint8_t* buf, uint32_t n) {
  for (;;) {
    ssize_t r = ::read(fd_, buf, n);
    if (r > 0) return r;
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN) {
      lastError_ = errno;
      return kFailed;
    }
    // A terminal whose far end has gone reads as empty; only poll tells it from a quiet one.
    if (r == 0 && HungUp()) {
      lastError_ = EIO;
      return kFailed;
    }
    return 0;
  }
}

TermiosSerial::Wait TermiosSerial::WaitReadable(int64_t deadlineUs) {
  int r = PollUntil(POLLIN, deadlineUs);
  return r > 0 ? Wait::kReadable : r == 0 ? Wait::kDeadline : Wait::kFailed;
}

bool TermiosSerial::WriteFile(const void* buf, uint32_t n, uint32_t* written) {
  uint32_t dummy = 0;
  if (!written) written = &dummy;
  *written = 0;
  const auto* in = static_cast<const unsigned char*>(buf);
  uint64_t totalMs = static_cast<uint64_t>(Timeouts().WriteTotalTimeoutMultiplier) * n +
                     Timeouts().WriteTotalTimeoutConstant;
  int64_t deadline = totalMs > 0 ? NowUs() + static_cast<int64_t>(totalMs * 1000) : -1;
  int64_t stallSince = NowUs();
  while (*written < n) {
    ssize_t r = ::write(fd_, in + *written, n - *written);
    if (r > 0) {
      *written += static_cast<uint32_t>(r);
      stallSince = NowUs();
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN) return Fail(errno);
    int64_t now = NowUs();
    int64_t wait = deadline >= 0 ? deadline - now : stallSince + kWriteStallUs - now;
    // Time is up: like the platform, success with the count that made it.
    if (wait <= 0) return true;
    if (PollFor(POLLOUT, wait) < 0) return false;
  }
  return true;
}

bool TermiosSerial::ConfirmWritten(uint32_t boundMs) {
  // The output queue counts what the driver has not yet put on the wire; a pseudo-terminal
  // has handed everything to the other end once write() returned, and counts 0.
  const int64_t deadline = NowUs() + static_cast<int64_t>(boundMs) * 1000;
  for (;;) {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) return Fail(errno);
    if (queued <= 0) return true;
    if (NowUs() >= deadline) return Fail(ETIMEDOUT);
    const timespec pause{0, 2 * 1000 * 1000};
    ::nanosleep(&pause, nullptr);
  }
}

}  // namespace platform
