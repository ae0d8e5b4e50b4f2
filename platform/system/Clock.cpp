#include "platform/system/Clock.h"

#include <time.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

namespace platform {

namespace {
SteadyClock steadyClock;
Clock* currentClock = nullptr;

SYSTEMTIME FromTm(const std::tm& tm) {
  SYSTEMTIME t;
  t.wYear = static_cast<uint16_t>(tm.tm_year + 1900);
  t.wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
  t.wDay = static_cast<uint16_t>(tm.tm_mday);
  t.wHour = static_cast<uint16_t>(tm.tm_hour);
  t.wMinute = static_cast<uint16_t>(tm.tm_min);
  t.wSecond = static_cast<uint16_t>(tm.tm_sec);
  return t;
}

// The C library's time calls under the names each system gives them.
void LocalTm(std::time_t t, std::tm* tm) {
#ifdef _WIN32
  localtime_s(tm, &t);
#else
  localtime_r(&t, tm);
#endif
}

std::time_t UtcSeconds(std::tm* tm) {
#ifdef _WIN32
  return _mkgmtime(tm);
#else
  return timegm(tm);
#endif
}

void UtcTm(std::time_t t, std::tm* tm) {
#ifdef _WIN32
  gmtime_s(tm, &t);
#else
  gmtime_r(&t, tm);
#endif
}
}  // namespace

uint64_t SteadyClock::NowUs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::SleepUs(uint64_t us) {
#ifdef _WIN32
  std::this_thread::sleep_for(std::chrono::microseconds(us));
#else
  timespec ts{static_cast<time_t>(us / 1000000), static_cast<long>((us % 1000000) * 1000)};
  // Resume after signals until the whole time has passed.
  while (nanosleep(&ts, &ts) != 0) {
  }
#endif
}

SYSTEMTIME SteadyClock::LocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  LocalTm(now, &tm);
  return FromTm(tm);
}

VirtualClock::VirtualClock() {
  base_.wYear = 2026;
  base_.wMonth = 12;
  base_.wDay = 7;
  base_.wHour = 9;
  base_.wMinute = 5;
  base_.wSecond = 3;
  baseAt_ = now_;
}

void VirtualClock::SetLocalTime(const SYSTEMTIME& t) {
  base_ = t;
  baseAt_ = now_;
}

SYSTEMTIME VirtualClock::LocalTime() {
  std::tm tm{};
  tm.tm_year = base_.wYear - 1900;
  tm.tm_mon = base_.wMonth - 1;
  tm.tm_mday = base_.wDay;
  tm.tm_hour = base_.wHour;
  tm.tm_min = base_.wMinute;
  tm.tm_sec = base_.wSecond + static_cast<int>((now_ - baseAt_) / 1000000);
  tm.tm_isdst = 0;
  // timegm/gmtime_r normalise the seconds carried past the minute without any time zone.
  std::time_t t = UtcSeconds(&tm);
  std::tm out{};
  UtcTm(t, &out);
  return FromTm(out);
}

Clock& CurrentClock() {
  if (currentClock) return *currentClock;
  return steadyClock;
}

void SetClock(Clock* clock) {
  currentClock = clock;
}

void Sleep(uint32_t ms) {
  CurrentClock().SleepUs(static_cast<uint64_t>(ms) * 1000);
}

std::string IsoLocalTime(std::time_t t) {
  std::tm local{};
  LocalTm(t, &local);
  // The offset is what the local fields read as UTC are ahead of the moment itself.
  std::tm asUtc = local;
  const long offset = static_cast<long>(UtcSeconds(&asUtc) - t);
  char text[40];
  if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0) return "";
  const long minutes = (offset < 0 ? -offset : offset) / 60;
  char zone[24];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60 % 100,
                minutes % 60);
  return std::string(text) + zone;
}

}  // namespace platform
