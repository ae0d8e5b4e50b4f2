#include "platform/devices/TimedRead.h"

#include <algorithm>

namespace platform {

namespace {

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

int64_t MsToUs(uint64_t ms) {
  return static_cast<int64_t>(ms) * 1000;
}

}  // namespace

bool TimedRead(ReadTransport& device, const COMMTIMEOUTS& t, void* buf, uint32_t n, uint32_t* got) {
  using Wait = ReadTransport::Wait;
  constexpr int64_t kNoDeadline = ReadTransport::kNoDeadline;
  uint32_t dummy = 0;
  if (!got) got = &dummy;
  *got = 0;
  if (n == 0) return true;

  const bool atOnce = t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 &&
                      t.ReadTotalTimeoutConstant == 0;
  const bool firstBytesOnly = t.ReadIntervalTimeout == kMaxDword;
  const bool intervalBound = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kMaxDword;
  const uint64_t totalMs =
      static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * n + t.ReadTotalTimeoutConstant;
  const int64_t totalDeadline = totalMs > 0 ? device.NowUs() + MsToUs(totalMs) : kNoDeadline;
  int64_t intervalDeadline = kNoDeadline;

  auto* out = static_cast<uint8_t*>(buf);
  for (;;) {
    const int64_t took = device.ReadNow(out + *got, n - *got);
    if (took < 0) return *got > 0;
    if (took > 0) {
      *got += static_cast<uint32_t>(took);
      if (*got == n) return true;
      if (intervalBound) intervalDeadline = device.NowUs() + MsToUs(t.ReadIntervalTimeout);
      // Everything that is there already belongs to this read before it waits for more.
      continue;
    }
    if (atOnce) return true;
    if (*got > 0 && firstBytesOnly) return true;
    const int64_t until = std::min(totalDeadline, intervalDeadline);
    if (until != kNoDeadline && device.NowUs() >= until) return true;
    switch (device.WaitReadable(until)) {
      case Wait::kReadable:
        break;
      case Wait::kDeadline:
        return true;
      case Wait::kFailed:
        return *got > 0;
    }
  }
}

}  // namespace platform
