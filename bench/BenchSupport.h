#pragma once
// Shared by the benchmarks: a quiet window for the serial link, CPU time of the process, and
// the time a number of bytes takes on the line.

#include <sys/resource.h>

#include <chrono>
#include <string>

#include "serial/CSerialPort.h"
#include "serial/SerialHost.h"

struct QuietHost : SerialHost {
  std::u16string port = u"COM1";
  int lines = 0;
  QuietHost() { CSerialPort::Attach(this); }
  ~QuietHost() override {
    CSerialPort::ClosePort();
    CSerialPort::Attach(nullptr);
  }
  void TakeControls() override {}
  std::u16string PortName() override { return port; }
  void LogLine(const std::u16string&) override { ++lines; }
  int ShowMessage(const std::u16string&, const std::u16string&, unsigned) override { return 1; }
};

inline double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

inline double WallSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// 10 bit times per byte (start, 8 data, stop).
inline double LineSeconds(size_t bytes, double baud) {
  return bytes * 10.0 / baud;
}
