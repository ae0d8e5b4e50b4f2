#include "sim/SimulatedSerialDevice.h"

#include <errno.h>

#include <algorithm>
#include <limits>

namespace sim {

namespace {
constexpr size_t kInputQueue = 4096;
constexpr uint64_t kForever = std::numeric_limits<uint64_t>::max();
}  // namespace

SimulatedSerialDevice::SimulatedSerialDevice(platform::VirtualClock& clock, SimulatedPort& port)
    : clock_(clock), port_(port) {}

SimulatedSerialDevice::~SimulatedSerialDevice() {
  port_.open = false;
  if (port_.radio) port_.radio->OnPortClosed(clock_.NowUs());
}

bool SimulatedSerialDevice::Fail(int error) {
  lastError_ = error;
  return false;
}

uint32_t SimulatedSerialDevice::HostBaud() const {
  const platform::DCB& d = port_.dcb;
  return d.ByteSize == 8 && d.Parity == 0 ? d.BaudRate : 0;
}

bool SimulatedSerialDevice::Vanished() const {
  return port_.radio && port_.radio->VanishedBy(clock_.NowUs());
}

void SimulatedSerialDevice::Pump() {
  RadioModem* radio = port_.radio.get();
  if (!radio) return;
  uint64_t now = clock_.NowUs();
  radio->Tick(now);
  uint64_t at = 0;
  while (radio->PeekOutput(&at) && at <= now) {
    if (input_.size() >= kInputQueue) {
      radio->DropOutputUpTo(now);
      errors_ |= platform::CE_RXOVER;
      break;
    }
    bool noise = false;
    input_.push_back(radio->TakeOutput(HostBaud(), &noise));
    if (noise) errors_ |= platform::CE_FRAME;
  }
}

SimulatedSerialDevice::Awaited SimulatedSerialDevice::Await(uint64_t deadlineUs) {
  for (;;) {
    Pump();
    if (Vanished()) return Awaited::kVanished;
    if (!input_.empty()) return Awaited::kByte;
    RadioModem* radio = port_.radio.get();
    uint64_t next = kForever;
    if (radio) {
      uint64_t at = 0;
      if (radio->PeekOutput(&at)) next = at;
      next = std::min(next, radio->NextEventUs());
      if (std::optional<uint64_t> v = radio->VanishAtUs()) next = std::min(next, *v);
    }
    if (next > deadlineUs) {
      // Nothing will ever come to an unbounded wait; leave the clock where it is.
      if (deadlineUs != kForever) clock_.AdvanceTo(deadlineUs);
      Pump();
      return input_.empty() ? Awaited::kDeadline : Awaited::kByte;
    }
    clock_.AdvanceTo(next);
  }
}

bool SimulatedSerialDevice::GetCommState(platform::DCB& dcb) {
  dcb = port_.dcb;
  return true;
}

bool SimulatedSerialDevice::SetCommState(const platform::DCB& dcb) {
  if (Vanished()) return Fail(EIO);
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
      dcb.StopBits > 2)
    return Fail(EINVAL);
  // Bytes already here were heard at the old settings.
  Pump();
  port_.dcb = dcb;
  return true;
}

bool SimulatedSerialDevice::PurgeComm(uint32_t flags) {
  if (Vanished()) return Fail(EIO);
  Pump();
  if (flags & platform::PURGE_RXCLEAR) input_.clear();
  return true;
}

bool SimulatedSerialDevice::ClearCommError(uint32_t* errors, platform::COMSTAT* stat) {
  if (errors) *errors = 0;
  if (stat) *stat = platform::COMSTAT{};
  if (Vanished()) return Fail(EIO);
  Pump();
  if (errors) *errors = errors_;
  errors_ = 0;
  if (stat) stat->cbInQue = static_cast<uint32_t>(input_.size());
  return true;
}

bool SimulatedSerialDevice::SetCommMask(uint32_t mask) {
  mask_ = mask;
  return true;
}

bool SimulatedSerialDevice::WaitCommEvent(uint32_t* events, uint32_t boundMs) {
  uint32_t dummy = 0;
  if (!events) events = &dummy;
  *events = 0;
  if (mask_ == 0) return Fail(EINVAL);
  uint64_t deadline = clock_.NowUs() + static_cast<uint64_t>(boundMs) * 1000;
  Awaited a = Awaited::kDeadline;
  if (mask_ & platform::EV_RXCHAR) {
    a = Await(deadline);
  } else {
    // Only the device's end can end this wait; arriving bytes stay queued.
    std::optional<uint64_t> v = port_.radio ? port_.radio->VanishAtUs() : std::nullopt;
    clock_.AdvanceTo(v && *v <= deadline ? *v : deadline);
    Pump();
    if (Vanished()) a = Awaited::kVanished;
  }
  if (a == Awaited::kByte) {
    *events = platform::EV_RXCHAR;
    return true;
  }
  if (a == Awaited::kVanished) {
    if (!(mask_ & platform::EV_ERR)) return Fail(EIO);
    *events = platform::EV_ERR;
    return true;
  }
  return Fail(ETIMEDOUT);
}

int64_t SimulatedSerialDevice::ReadNow(uint8_t* buf, uint32_t n) {
  if (Vanished()) {
    lastError_ = EIO;
    return kFailed;
  }
  Pump();
  uint32_t took = 0;
  while (!input_.empty() && took < n) {
    buf[took++] = input_.front();
    input_.pop_front();
  }
  return took;
}

SimulatedSerialDevice::Wait SimulatedSerialDevice::WaitReadable(int64_t deadlineUs) {
  const uint64_t deadline =
      deadlineUs == kNoDeadline ? kForever : static_cast<uint64_t>(deadlineUs);
  switch (Await(deadline)) {
    case Awaited::kByte:
      return Wait::kReadable;
    case Awaited::kDeadline:
      return Wait::kDeadline;
    case Awaited::kVanished:
      break;
  }
  lastError_ = EIO;
  return Wait::kFailed;
}

bool SimulatedSerialDevice::WriteFile(const void* buf, uint32_t n, uint32_t* written) {
  uint32_t dummy = 0;
  if (!written) written = &dummy;
  *written = 0;
  if (Vanished()) return Fail(EIO);
  if (port_.radio) port_.radio->Receive(clock_.NowUs(), buf, n, HostBaud());
  *written = n;
  return true;
}

}  // namespace sim
