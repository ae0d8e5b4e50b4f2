#include "platform/serial/TermiosSerial.h"

// termios2 lives in the kernel's own header, which cannot share a unit with <termios.h>; every
// line call here is an ioctl for that reason.
#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/serial/DeviceHolders.h"
#include "platform/serial/OpenLines.h"

namespace platform {

namespace {

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;
// A write that the platform would let block for ever gives up after this long without
// progress, so that a far end that stopped reading cannot freeze the caller.
constexpr int64_t kWriteStallUs = 2000000;
// Waiting at close for queued output to leave: the time its bytes need plus this slack, and
// never more than the bound.
constexpr int64_t kDrainSlackUs = 50000;
constexpr int64_t kDrainBoundUs = 1000000;

int64_t NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

tcflag_t SizeFlag(uint8_t byteSize) {
  switch (byteSize) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

uint8_t ByteSizeOf(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

}  // namespace

std::unique_ptr<TermiosSerial> TermiosSerial::Open(const std::string& path, int* lastError) {
  int dummy = 0;
  if (!lastError) lastError = &dummy;
  // Only a character device can be a serial port: a regular file, directory or FIFO that the
  // port's name leads to is refused before it is opened, so opening it has no effect at all.
  struct stat node {};
  if (::stat(path.c_str(), &node) != 0) {
    *lastError = errno;
    return nullptr;
  }
  if (!S_ISCHR(node.st_mode)) {
    *lastError = ENOTTY;
    return nullptr;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *lastError = errno;
    return nullptr;
  }
  if (!::isatty(fd)) {
    *lastError = ENOTTY;
    ::close(fd);
    return nullptr;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || OpenElsewhere(opened.st_rdev)) {
    *lastError = EBUSY;
    ::close(fd);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *lastError = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return nullptr;
  }
  // TIOCEXCL keeps out other openers that are not root; the lock above covers the rest.
  ::ioctl(fd, TIOCEXCL);
  std::unique_ptr<TermiosSerial> device(new TermiosSerial(fd));
  // What the line held before us, given back at close.
  auto saved = std::make_unique<termios2>();
  if (::ioctl(fd, TCGETS2, saved.get()) == 0) device->saved_ = std::move(saved);
  RememberLine(fd, device->saved_.get());
  // Raw at once at the rate the driver holds, so nothing is echoed or translated in the time
  // before the caller applies its own record.
  termios2 tio{};
  DCB dcb;
  if (::ioctl(fd, TCGETS2, &tio) == 0 && tio.c_ospeed != 0) dcb.BaudRate = tio.c_ospeed;
  if (!device->ApplyLine(dcb)) {
    *lastError = device->LastError();
    return nullptr;
  }
  device->shadow_ = dcb;
  return device;
}

TermiosSerial::TermiosSerial(int fd) : fd_(fd) {}

TermiosSerial::~TermiosSerial() {
  ForgetLine(fd_);
  if (saved_) {
    DrainOutput();
    // The next program finds the line as it was before we opened it. A line that has gone
    // refuses this; there is nothing left to give back then.
    ::ioctl(fd_, TCSETS2, saved_.get());
  }
  // A pseudo-terminal keeps TIOCEXCL after its holder has gone; release it for the next user.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
}

void TermiosSerial::DrainOutput() {
  // The last bytes written (the radio's closing command, say) must leave at the rate they
  // were written at before the line settings change under them; a far end that stopped
  // reading holds the close for no longer than the bound.
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
  const uint32_t rate = std::max<uint32_t>(shadow_.BaudRate, 300);
  const int64_t needUs = static_cast<int64_t>(queued) * 10 * 1000000 / rate;
  const int64_t until = NowUs() + std::min<int64_t>(needUs + kDrainSlackUs, kDrainBoundUs);
  while (NowUs() < until) {
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
    timespec pause{0, 1000000};
    ::nanosleep(&pause, nullptr);
  }
}

bool TermiosSerial::Fail(int error) {
  lastError_ = error;
  return false;
}

bool TermiosSerial::GetCommState(DCB& dcb) {
  termios2 tio{};
  if (::ioctl(fd_, TCGETS2, &tio) != 0) return Fail(errno);
  dcb = shadow_;
  dcb.BaudRate = tio.c_ospeed;
  dcb.ByteSize = ByteSizeOf(tio.c_cflag);
  if (!(tio.c_cflag & PARENB))
    dcb.Parity = 0;
  else if (tio.c_cflag & CMSPAR)
    dcb.Parity = (tio.c_cflag & PARODD) ? 3 : 4;
  else
    dcb.Parity = (tio.c_cflag & PARODD) ? 1 : 2;
  if (!(tio.c_cflag & CSTOPB))
    dcb.StopBits = 0;
  else if (shadow_.StopBits == 0)
    dcb.StopBits = 2;
  dcb.fParity = (tio.c_iflag & INPCK) != 0;
  dcb.fOutxCtsFlow = (tio.c_cflag & CRTSCTS) != 0;
  dcb.fOutX = (tio.c_iflag & IXON) != 0;
  dcb.fInX = (tio.c_iflag & IXOFF) != 0;
  return true;
}

bool TermiosSerial::SetCommState(const DCB& dcb) {
  if (!ApplyLine(dcb)) return false;
  shadow_ = dcb;
  return true;
}

bool TermiosSerial::ApplyLine(const DCB& dcb) {
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
      dcb.StopBits > 2)
    return Fail(EINVAL);
  termios2 tio{};
  if (::ioctl(fd_, TCGETS2, &tio) != 0) return Fail(errno);
  // Every field from the record; only the line discipline number is kept from the driver.
  tio.c_iflag = 0;
  if (dcb.fParity && dcb.Parity != 0) tio.c_iflag |= INPCK;
  if (dcb.fOutX) tio.c_iflag |= IXON;
  if (dcb.fInX) tio.c_iflag |= IXOFF;
  tio.c_oflag = 0;
  tio.c_lflag = 0;
  tio.c_cflag = CREAD | CLOCAL | HUPCL | BOTHER | SizeFlag(dcb.ByteSize);
  if (dcb.StopBits != 0) tio.c_cflag |= CSTOPB;
  if (dcb.Parity != 0) tio.c_cflag |= PARENB;
  if (dcb.Parity == 1 || dcb.Parity == 3) tio.c_cflag |= PARODD;
  if (dcb.Parity >= 3) tio.c_cflag |= CMSPAR;
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == 2) tio.c_cflag |= CRTSCTS;
  std::fill(std::begin(tio.c_cc), std::end(tio.c_cc), 0);
  // VMIN 1 makes an empty non-blocking read say EAGAIN, so that a read of 0 bytes can only
  // mean the line has hung up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  tio.c_ispeed = dcb.BaudRate;
  tio.c_ospeed = dcb.BaudRate;
  if (::ioctl(fd_, TCSETS2, &tio) != 0) return Fail(errno);
  return SetModemLines(dcb);
}

bool TermiosSerial::SetModemLines(const DCB& dcb) {
  auto apply = [this](int bit, uint8_t control) {
    if (control > 1) return true;  // handshake and toggle are the driver's business
    int bits = bit;
    if (::ioctl(fd_, control == 1 ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
    // A pseudo-terminal (ENOTTY) and some adapters (EINVAL) simply have no modem lines.
    if (errno == ENOTTY || errno == EINVAL) return true;
    return Fail(errno);
  };
  return apply(TIOCM_DTR, dcb.fDtrControl) && apply(TIOCM_RTS, dcb.fRtsControl);
}

bool TermiosSerial::SetCommTimeouts(const COMMTIMEOUTS& t) {
  timeouts_ = t;
  return true;
}

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
  int64_t deadline = boundUs < 0 ? -1 : NowUs() + boundUs;
  for (;;) {
    pollfd p{fd_, events, 0};
    timespec ts{};
    timespec* tsp = nullptr;
    if (deadline >= 0) {
      int64_t left = std::max<int64_t>(deadline - NowUs(), 0);
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

bool TermiosSerial::ReadFile(void* buf, uint32_t n, uint32_t* got) {
  uint32_t dummy = 0;
  if (!got) got = &dummy;
  *got = 0;
  if (n == 0) return true;
  const COMMTIMEOUTS& t = timeouts_;
  bool atOnce = t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 &&
                t.ReadTotalTimeoutConstant == 0;
  uint64_t totalMs =
      static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * n + t.ReadTotalTimeoutConstant;
  int64_t deadline = totalMs > 0 ? NowUs() + static_cast<int64_t>(totalMs * 1000) : -1;
  auto* out = static_cast<unsigned char*>(buf);
  while (*got < n) {
    ssize_t r = ::read(fd_, out + *got, n - *got);
    if (r > 0) {
      *got += static_cast<uint32_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN) return Fail(errno);
    if (r == 0 && HungUp()) return Fail(EIO);
    if (atOnce) return true;
    if (*got > 0 && t.ReadIntervalTimeout == kMaxDword) return true;
    int64_t wait = deadline < 0 ? -1 : deadline - NowUs();
    if (deadline >= 0 && wait <= 0) return true;
    bool intervalBound = *got > 0 && t.ReadIntervalTimeout != 0;
    if (intervalBound) {
      int64_t interval = static_cast<int64_t>(t.ReadIntervalTimeout) * 1000;
      wait = wait < 0 ? interval : std::min(wait, interval);
    }
    int p = PollFor(POLLIN, wait);
    if (p < 0) return false;
    // The wait was the nearer of the two bounds, so either way the read is over.
    if (p == 0) return true;
  }
  return true;
}

bool TermiosSerial::WriteFile(const void* buf, uint32_t n, uint32_t* written) {
  uint32_t dummy = 0;
  if (!written) written = &dummy;
  *written = 0;
  const auto* in = static_cast<const unsigned char*>(buf);
  uint64_t totalMs = static_cast<uint64_t>(timeouts_.WriteTotalTimeoutMultiplier) * n +
                     timeouts_.WriteTotalTimeoutConstant;
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

}  // namespace platform
