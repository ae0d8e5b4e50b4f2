#include "platform/devices/TermiosSerial.h"

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

#include "platform/devices/DeviceHolders.h"
#include "platform/devices/OpenLines.h"

namespace platform {

namespace {

// Waiting at close for queued output to leave: the time its bytes need plus this slack, and
// never more than the bound.
constexpr int64_t kSentSlackUs = 50000;
constexpr int64_t kSentBoundUs = 1000000;

}  // namespace

int64_t TermiosSerial::NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

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
    WaitOutputSent();
    // The next program finds the line as it was before we opened it. A line that has gone
    // refuses this; there is nothing left to give back then.
    ::ioctl(fd_, TCSETS2, saved_.get());
  }
  // A pseudo-terminal keeps TIOCEXCL after its holder has gone; release it for the next user.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
}

void TermiosSerial::WaitOutputSent() {
  // The last bytes written (the radio's closing command, say) must leave at the rate they
  // were written at before the line settings change under them; a far end that stopped
  // reading holds the close for no longer than the bound.
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
  const uint32_t rate = std::max<uint32_t>(shadow_.BaudRate, 300);
  const int64_t needUs = static_cast<int64_t>(queued) * 10 * 1000000 / rate;
  const int64_t until = NowUs() + std::min<int64_t>(needUs + kSentSlackUs, kSentBoundUs);
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

}  // namespace platform
