#pragma once
// The one clock every wait of the program goes through: Sleep, the per-byte read time-out of
// the serial devices, the waiting dialog's polls and timers, and the local time of the log's
// stamps. The real program runs on the steady clock; tests install a VirtualClock, which
// advances instantly when slept on, so that long sequences run in milliseconds and always the
// same way. Nothing here can fail.

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

// The fields of the platform's local time record that the program uses.
struct SYSTEMTIME {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds on a monotonic scale that starts at an arbitrary point.
  virtual uint64_t NowUs() = 0;
  virtual void SleepUs(uint64_t us) = 0;
  virtual SYSTEMTIME LocalTime() = 0;
};

// The real clock: std::chrono::steady_clock, nanosleep and localtime_r.
class SteadyClock final : public Clock {
 public:
  uint64_t NowUs() override;
  void SleepUs(uint64_t us) override;
  SYSTEMTIME LocalTime() override;
};

// A clock that only moves when someone sleeps on it or advances it. Its local time is a set
// start time plus the virtual time elapsed since it was set.
class VirtualClock final : public Clock {
 public:
  VirtualClock();
  uint64_t NowUs() override { return now_; }
  void SleepUs(uint64_t us) override { now_ += us; }
  SYSTEMTIME LocalTime() override;

  void Advance(uint64_t us) { now_ += us; }
  void AdvanceTo(uint64_t us) {
    if (us > now_) now_ = us;
  }
  void SetLocalTime(const SYSTEMTIME& t);

 private:
  uint64_t now_ = 1000000;  // not zero, so that "time 0" never looks like "unset"
  SYSTEMTIME base_;
  uint64_t baseAt_ = 0;
};

// The process-wide clock: the steady clock unless a test has installed another one.
Clock& CurrentClock();
// Installs a clock (nullptr restores the steady clock). The caller keeps ownership.
void SetClock(Clock* clock);

// The platform's Sleep, in milliseconds, on the current clock.
void Sleep(uint32_t ms);
inline uint64_t NowMs() {
  return CurrentClock().NowUs() / 1000;
}

// Installs a clock for the life of a scope (tests).
class ScopedClock {
 public:
  explicit ScopedClock(Clock& c) { SetClock(&c); }
  ~ScopedClock() { SetClock(nullptr); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;
};

// The wall-clock time t as ISO 8601 local time with its offset from UTC
// ("2026-12-07T09:05:03+01:00"), the same on every system; empty when it cannot be had.
std::string IsoLocalTime(std::time_t t);

}  // namespace platform
