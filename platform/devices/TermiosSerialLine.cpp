#include "platform/devices/TermiosSerial.h"

// The line settings: the device-control record to termios2 and back, and the modem lines.
#include <asm/termbits.h>
#include <errno.h>
#include <sys/ioctl.h>

#include <algorithm>

namespace platform {

namespace {

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

}  // namespace platform
