#include "platform/devices/NetworkSerial.h"

#include <errno.h>

#include <algorithm>
#include <vector>

namespace platform {

namespace {

// A write the server does not take for this long gives up, as a termios write to a far end
// that stopped reading does.
constexpr int64_t kWriteStallUs = 2000000;
// A wait without a bound of its own still looks at the clock this often.
constexpr int64_t kSliceUs = 1000000;

// The COM port option's codes (RFC 2217) for the record's fields.
unsigned ParityCode(uint8_t parity) {
  return parity + 1u;  // none, odd, even, mark, space
}
unsigned StopCode(uint8_t stopBits) {
  return stopBits == 0 ? 1u : stopBits == 1 ? 3u : 2u;  // one, one and a half, two
}
unsigned FlowCode(const DCB& d) {
  if (d.fOutX || d.fInX) return 2u;
  if (d.fOutxCtsFlow || d.fRtsControl == 2) return 3u;
  return 1u;
}

}  // namespace

std::unique_ptr<NetworkSerial> NetworkSerial::Open(const NetworkPortName& name,
                                                   const std::string& caFile, uint32_t boundMs,
                                                   int* lastError, std::string* why) {
  return Open(name, TlsOptions{caFile, "", ""}, boundMs, lastError, why);
}

std::unique_ptr<NetworkSerial> NetworkSerial::Open(const NetworkPortName& name,
                                                   const TlsOptions& tls, uint32_t boundMs,
                                                   int* lastError, std::string* why,
                                                   GensioConnection::Growth growth) {
  int dummy = 0;
  std::string ignored;
  if (!lastError) lastError = &dummy;
  if (!why) why = &ignored;
  const int64_t until = GensioConnection::NowUs() + static_cast<int64_t>(boundMs) * 1000;
  TlsFiles files;
  if (name.tls) {
    std::optional<TlsFiles> chosen = ChooseTlsFiles(tls, lastError, why);
    if (!chosen) return nullptr;
    files = *chosen;
  }
  std::unique_ptr<NetworkSerial> device(new NetworkSerial());
  device->trustSource_ = files.caSource;
  device->endpoint_ = name.Endpoint();
  if (int error = device->link_.Connect(name, files, until, why, growth); error != 0) {
    *lastError = error;
    return nullptr;
  }
  device->shadow_.BaudRate = device->link_.ServerRate();
  return device;
}

PathTiming NetworkSerial::PathDelay() const {
  const RoundTripEstimator& path = link_.Path();
  auto ms = [](int64_t us) { return static_cast<uint32_t>((us + 500) / 1000); };
  return PathTiming{path.Samples() > 0, ms(path.SmoothedUs()), ms(path.VariationUs()),
                    ms(path.ExtensionUs()), ms(path.GapUs())};
}

NetworkSerial::~NetworkSerial() {
  WaitOutputSent();
}

void NetworkSerial::WaitOutputSent() {
  if (drainedAtUs_ == 0 || link_.Lost()) return;
  const int64_t guardUs = static_cast<int64_t>(kSentGuardMs) * 1000;
  if (GensioConnection::NowUs() >= drainedAtUs_ + guardUs) return;
  const int64_t bound = GensioConnection::NowUs() + static_cast<int64_t>(kSentBoundMs) * 1000;
  if (!AskAfterWritten(bound)) return;
  // Only from the server's answer on are the bytes known to be with it.
  const int64_t until = std::max(drainedAtUs_, GensioConnection::NowUs()) + guardUs;
  while (!link_.Lost() && GensioConnection::NowUs() < until) link_.Pump(until);
  drainedAtUs_ = 0;
}

bool NetworkSerial::ConfirmWritten(uint32_t boundMs) {
  if (link_.Lost()) return Fail(EIO);
  const int64_t bound = GensioConnection::NowUs() + static_cast<int64_t>(boundMs) * 1000;
  return AskAfterWritten(bound) ? true : false;
}

bool NetworkSerial::AskAfterWritten(int64_t untilUs) {
  // First everything on its way, then the question behind it: the server answers only after
  // it has read all that came before.
  if (int r = link_.Flush(untilUs); r != 0) return Fail(r);
  GensioConnection::LineValue ask{GensioConnection::Setting::kBaud, 0, 0};
  const int r = link_.SetLines(&ask, 1, untilUs);
  // An answer that did not come on a connection that dropped is a lost connection.
  if (r != 0) return Fail(link_.Lost() ? EIO : r);
  return true;
}

void NetworkSerial::NoteWritten(uint32_t n) {
  if (n == 0) return;
  // Ten bits a byte: start, eight data bits, stop.
  const uint32_t rate = std::max<uint32_t>(shadow_.BaudRate, 1);
  const int64_t lineUs = static_cast<int64_t>(n) * 10 * 1000000 / rate;
  drainedAtUs_ = std::max(drainedAtUs_, GensioConnection::NowUs()) + lineUs;
}

std::string NetworkSerial::LostReason() const {
  if (!link_.Lost()) return {};
  // ser2net closes the connection of a client that another one took the line from
  // (kickolduser) without a word, as it does when it stops.
  if (link_.ClosedByServer())
    return endpoint_ +
           ": the server closed the connection: another client took the line, or the server "
           "stopped";
  return endpoint_ + ": the connection was lost";
}

bool NetworkSerial::Fail(int error) {
  lastError_ = error;
  return false;
}

bool NetworkSerial::Poll() {
  link_.Pump(0);
  return !(link_.Lost() && link_.Received().empty());
}

bool NetworkSerial::GetCommState(DCB& dcb) {
  if (link_.Lost()) return Fail(EIO);
  dcb = shadow_;
  return true;
}

bool NetworkSerial::SetCommState(const DCB& dcb) {
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
      dcb.StopBits > 2)
    return Fail(EINVAL);
  using S = GensioConnection::Setting;
  std::vector<GensioConnection::LineValue> asked;
  auto ask = [&](bool changed, S which, unsigned value) {
    if (!lineKnown_ || changed) asked.push_back({which, value, 0});
  };
  ask(dcb.BaudRate != shadow_.BaudRate, S::kBaud, dcb.BaudRate);
  ask(dcb.ByteSize != shadow_.ByteSize, S::kDataSize, dcb.ByteSize);
  ask(dcb.Parity != shadow_.Parity, S::kParity, ParityCode(dcb.Parity));
  ask(dcb.StopBits != shadow_.StopBits, S::kStopBits, StopCode(dcb.StopBits));
  ask(FlowCode(dcb) != FlowCode(shadow_), S::kFlowControl, FlowCode(dcb));
  if (!asked.empty()) {
    const int64_t start = GensioConnection::NowUs();
    int64_t until = start + static_cast<int64_t>(kSettingBoundMs) * 1000;
    std::shared_ptr<ConnectBudget> budget = std::move(budget_);
    if (budget) until = std::min(until, start + budget->limitUs - budget->spentUs);
    if (until <= start) return Fail(ETIMEDOUT);
    int error = link_.SetLines(asked.data(), asked.size(), until);
    if (budget) budget->spentUs += GensioConnection::NowUs() - start;
    if (error != 0) {
      // An answer may still come and the server may yet apply it: send everything next time.
      lineKnown_ = false;
      return Fail(error);
    }
    // A server that applied something else (a rate its line cannot take) refused the record.
    for (const auto& v : asked)
      if (v.applied != v.value) {
        lineKnown_ = false;
        return Fail(EINVAL);
      }
  }
  shadow_ = dcb;
  lineKnown_ = true;
  return true;
}

bool NetworkSerial::PurgeComm(uint32_t flags) {
  // As on a local line, only the input is purged: what was written belongs on the wire.
  if (!(flags & PURGE_RXCLEAR)) return true;
  link_.PurgeServerInput();
  link_.Pump(0);
  link_.Received().clear();
  return true;
}

bool NetworkSerial::ClearCommError(uint32_t* errors, COMSTAT* stat) {
  if (errors) *errors = 0;
  if (stat) *stat = COMSTAT{};
  link_.Pump(0);
  // A dropped connection is a line that hung up, whatever is still queued.
  if (link_.Lost()) return Fail(EIO);
  if (errors && link_.Overflowed() != overrunsSeen_) *errors = CE_RXOVER;
  overrunsSeen_ = link_.Overflowed();
  if (stat) stat->cbInQue = static_cast<uint32_t>(link_.Received().size());
  return true;
}

bool NetworkSerial::SetCommMask(uint32_t mask) {
  mask_ = mask;
  return true;
}

bool NetworkSerial::WaitCommEvent(uint32_t* events, uint32_t boundMs) {
  uint32_t dummy = 0;
  if (!events) events = &dummy;
  *events = 0;
  if (mask_ == 0) return Fail(EINVAL);
  const bool wantChar = mask_ & EV_RXCHAR;
  const int64_t until = GensioConnection::NowUs() + static_cast<int64_t>(boundMs) * 1000;
  for (;;) {
    link_.Pump(0);
    if (wantChar && !link_.Received().empty()) {
      *events = EV_RXCHAR;
      return true;
    }
    if (link_.Lost()) {
      if (!(mask_ & EV_ERR)) return Fail(EIO);
      *events = EV_ERR;
      return true;
    }
    if (GensioConnection::NowUs() >= until) return Fail(ETIMEDOUT);
    link_.Pump(until);
  }
}

int64_t NetworkSerial::ReadNow(uint8_t* buf, uint32_t n) {
  link_.Pump(0);
  std::string& queue = link_.Received();
  const uint32_t take = static_cast<uint32_t>(std::min<size_t>(queue.size(), n));
  std::copy_n(queue.begin(), take, buf);
  queue.erase(0, take);
  if (take == 0 && link_.Lost()) {
    lastError_ = EIO;
    return kFailed;
  }
  return take;
}

NetworkSerial::Wait NetworkSerial::WaitReadable(int64_t deadlineUs) {
  for (;;) {
    if (!link_.Received().empty()) return Wait::kReadable;
    if (link_.Lost()) {
      lastError_ = EIO;
      return Wait::kFailed;
    }
    const int64_t now = GensioConnection::NowUs();
    if (now >= deadlineUs) return Wait::kDeadline;
    link_.Pump(std::min(deadlineUs, now + kSliceUs));
  }
}

bool NetworkSerial::WriteFile(const void* buf, uint32_t n, uint32_t* written) {
  uint32_t dummy = 0;
  if (!written) written = &dummy;
  *written = 0;
  const auto* in = static_cast<const unsigned char*>(buf);
  const uint64_t totalMs = static_cast<uint64_t>(Timeouts().WriteTotalTimeoutMultiplier) * n +
                           Timeouts().WriteTotalTimeoutConstant;
  const int64_t deadline =
      totalMs > 0 ? GensioConnection::NowUs() + static_cast<int64_t>(totalMs * 1000) : -1;
  int64_t stallSince = GensioConnection::NowUs();
  while (*written < n) {
    const int64_t took = link_.Offer(in + *written, n - *written);
    if (took < 0) return Fail(EIO);
    if (took > 0) {
      *written += static_cast<uint32_t>(took);
      stallSince = GensioConnection::NowUs();
      continue;
    }
    const int64_t until = deadline >= 0 ? deadline : stallSince + kWriteStallUs;
    // Time is up: like the platform, success with the count that made it.
    if (GensioConnection::NowUs() >= until) {
      NoteWritten(*written);
      return true;
    }
    while (!link_.WriteReady() && !link_.Lost() && GensioConnection::NowUs() < until)
      link_.Pump(until);
  }
  // Let the library put it on the network now, not at the next wait.
  link_.Pump(0);
  NoteWritten(n);
  return true;
}

}  // namespace platform
