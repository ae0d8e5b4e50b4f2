#include "sim/program/PtyLine.h"

// termios2 comes from the kernel's header, which cannot share a unit with <termios.h>.
#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>

namespace sim {

PtyLine::~PtyLine() {
  Close();
}

bool PtyLine::Open(uint32_t baud, std::string* error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    *error = std::string("cannot create a pseudo-terminal: ") + ::strerror(errno);
    return false;
  }
  const char* name = ::ptsname(master_);
  if (!name) {
    *error = std::string("cannot name the pseudo-terminal: ") + ::strerror(errno);
    return false;
  }
  slavePath_ = name;
  // One open and close of the slave arms the hang-up that tells us nobody holds it.
  int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave < 0) {
    *error = "cannot open " + slavePath_ + ": " + ::strerror(errno);
    return false;
  }
  termios2 tio{};
  if (::ioctl(slave, TCGETS2, &tio) == 0) {
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = CREAD | CLOCAL | CS8 | BOTHER;
    std::fill(std::begin(tio.c_cc), std::end(tio.c_cc), 0);
    tio.c_cc[VMIN] = 1;
    tio.c_ispeed = tio.c_ospeed = baud;
    ::ioctl(slave, TCSETS2, &tio);
  }
  ::close(slave);
  // Watched only now, so that our own open and close above are not counted.
  watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ >= 0 && ::inotify_add_watch(watch_, name, IN_OPEN | IN_CLOSE) < 0) {
    ::close(watch_);
    watch_ = -1;
  }
  return true;
}

void PtyLine::Close() {
  if (master_ >= 0) ::close(master_);
  if (watch_ >= 0) ::close(watch_);
  master_ = watch_ = -1;
}

bool PtyLine::HangUpSaysOpen() const {
  if (master_ < 0) return false;
  pollfd p{master_, POLLIN, 0};
  if (::poll(&p, 1, 0) < 0) return false;
  return !(p.revents & POLLHUP);
}

bool PtyLine::NextPeerChange(bool* opened) {
  if (watch_ < 0) {
    bool now = HangUpSaysOpen();
    if (now == polledOpen_) return false;
    *opened = polledOpen_ = now;
    return true;
  }
  // One event at a time: the buffer holds exactly one event without a name, which is all a
  // watch on a single file ever reports.
  inotify_event event{};
  ssize_t n = ::read(watch_, &event, sizeof event);
  if (n < static_cast<ssize_t>(sizeof event)) return false;
  // Only the first open and the last close change anything: a second opener (stty -F, a
  // look at the port by another program) closing its end leaves the port open.
  if (event.mask & IN_OPEN) {
    if (openers_++ > 0) return NextPeerChange(opened);
    *opened = true;
    return true;
  }
  if ((event.mask & IN_CLOSE) && openers_ > 0) {
    if (--openers_ > 0) return NextPeerChange(opened);
    *opened = false;
    return true;
  }
  return NextPeerChange(opened);
}

bool PtyLine::PeerOpen() const {
  return watch_ >= 0 ? openers_ > 0 : polledOpen_;
}

uint32_t PtyLine::HostBaud() const {
  termios2 tio{};
  if (master_ < 0 || ::ioctl(master_, TCGETS2, &tio) != 0) return 0;
  // The radio's frame is 8 data bits without parity; anything else it cannot read.
  if ((tio.c_cflag & CSIZE) != CS8 || (tio.c_cflag & PARENB)) return 0;
  return tio.c_ospeed;
}

size_t PtyLine::Read(uint8_t* buf, size_t n) {
  if (master_ < 0) return 0;
  ssize_t r = ::read(master_, buf, n);
  // EIO is what the master reads while nobody has the slave open.
  return r > 0 ? static_cast<size_t>(r) : 0;
}

long PtyLine::Write(const uint8_t* buf, size_t n) {
  if (master_ < 0) return -1;
  ssize_t r = ::write(master_, buf, n);
  if (r >= 0) return r;
  return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

}  // namespace sim
