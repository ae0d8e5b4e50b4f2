// One register command over a pseudo-terminal against qelm-radio-sim, through the real termios
// layer: wall time against the floor the protocol sets (the 100 ms emptying read, the 50 ms
// pause, one byte out and its echo back at the line rate; the rest of a short reply arrives
// during the pause) and the CPU time spent meanwhile, which shows whether the waits sleep or
// spin.
//
//   build/bench/radio_command_bench [commands, default 20]
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "BenchSupport.h"
#include "serial/RadioExchange.h"
#include "tests/e2e/SimProcess.h"

int main(int argc, char** argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 20;
  std::string dir = std::filesystem::temp_directory_path() / "qelm-bench-command";
  std::filesystem::create_directories(dir);
  for (double baud : {115200.0, 9600.0}) {
    std::string rate = std::to_string(static_cast<int>(baud));
    SimProcess radio(dir + "/com1",
                     {"--model", "2410", "--baud", rate, "--preset", "shrike", "--internal"});
    if (!radio.Running()) {
      std::fprintf(stderr, "qelm-radio-sim did not start\n");
      return 1;
    }
    setenv("QELM_COM1", (dir + "/com1").c_str(), 1);
    QuietHost host;
    if (CSerialPort::OpenPort(std::u16string(rate.begin(), rate.end()), false) != RC_OK) {
      std::fprintf(stderr, "cannot open the stand-in's port\n");
      return 1;
    }
    BannerValues banner;
    ReadBanner(&banner);
    SendLine(":wit2400");
    char unread[200];
    CSerialPort::ReadStr(unread, sizeof unread);

    int failures = 0;
    int32_t value = 0;
    double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    for (int i = 0; i < count; ++i) failures += RadioCommand(u"wn?", &value) != 0;
    double wall = (WallSeconds() - wall0) / count, cpu = (CpuSeconds() - cpu0) / count;
    // The emptying read's quiet 100 ms, the 50 ms pause after the first echoed byte, and that
    // byte's way there and back; the rest of the reply arrives during the pause.
    double floor = 0.100 + 0.050 + LineSeconds(2, baud);
    std::printf(
        "RadioCommand wn? at %6s bit/s: %7.1f ms per command, floor %7.1f ms, ratio %.3f, "
        "CPU %.2f ms (%.2f%% of wall), %d failed\n",
        rate.c_str(), wall * 1e3, floor * 1e3, wall / floor, cpu * 1e3, 100 * cpu / wall, failures);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
