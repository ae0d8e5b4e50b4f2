// A full connect-and-read of a model 2410 radio (the controller's internal radio on COM3)
// against qelm-radio-sim over a pseudo-terminal, through the real termios layer and the main
// dialog (headless windows, real time): at the right rate, and starting three rates off. Prints
// the wall time against the protocol's floor (the fixed waits plus the bytes at the line rate)
// as a ratio, and the CPU time used.
//
//   build/bench/connect_bench
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "BenchSupport.h"
#include "app/CConfigApp.h"
#include "platform/dialog/headless/HeadlessBackend.h"
#include "resources/resource.h"
#include "tests/e2e/SimProcess.h"
#include "ui/CConfigDlg.h"

namespace {

// Fixed waits of one successful internal attempt and the reading that follows: the open's
// 200 ms, the 100 ms before the banner, the banner's 200 ms pause, the reading's emptying read
// (100 ms), the pause after ":wit2400" (100 ms) and the emptying read after it (100 ms), and
// per query the 100 ms emptying read and the 50 ms pause.
double SuccessFloor(int queries, double baud) {
  const size_t bannerBytes = 60, perQuery = 2;
  return 0.2 + 0.1 + 0.2 + 0.1 + 0.1 + 0.1 + queries * 0.15 +
         LineSeconds(bannerBytes + 10 + queries * perQuery, baud);
}
// A failed attempt: the open, the 100 ms, the banner's pause and one read time-out.
constexpr double kFailedAttemptFloor = 0.2 + 0.1 + 0.2 + 0.1;

}  // namespace

int main() {
  std::string dir = std::filesystem::temp_directory_path() / "qelm-bench-connect";
  std::filesystem::create_directories(dir);
  setenv("QELM_DATA_DIR", (dir + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  CConfigApp app;
  platform::VirtualClock unused;  // the windows are headless; time is real
  platform::HeadlessBackend ui(unused);
  platform::SetBackend(&ui);
  struct Case {
    const char* start;
    int ratesOff;
  };
  for (Case c : {Case{"115200", 0}, Case{"14400", 3}}) {
    SimProcess radio(dir + "/com3",
                     {"--model", "2410", "--baud", "115200", "--preset", "vireo-us", "--internal"});
    if (!radio.Running()) {
      std::fprintf(stderr, "qelm-radio-sim did not start\n");
      return 1;
    }
    setenv("QELM_COM3", (dir + "/com3").c_str(), 1);
    CConfigDlg dlg;
    dlg.Create();
    ui.SelectText(IDD_QELMCONFIG_DIALOG, IDC_PORT, u"COM3");
    ui.SelectText(IDD_QELMCONFIG_DIALOG, IDC_BAUDRATE,
                  std::u16string(c.start, c.start + std::char_traits<char>::length(c.start)));
    double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    ui.Click(IDD_QELMCONFIG_DIALOG, IDC_CONNECT);
    double wall = WallSeconds() - wall0, cpu = CpuSeconds() - cpu0;
    bool connected = dlg.m_settings.connected && dlg.m_settings.settingsRead;
    double floor = c.ratesOff * kFailedAttemptFloor + SuccessFloor(4, 115200);
    std::printf(
        "connect and read, internal 2410 at 115200, starting at %6s (%d rates off): "
        "%6.0f ms, floor %6.0f ms, ratio %.3f, CPU %5.1f ms (%.2f%%)%s\n",
        c.start, c.ratesOff, wall * 1e3, floor * 1e3, wall / floor, cpu * 1e3, 100 * cpu / wall,
        connected ? "" : "  NOT CONNECTED");
    dlg.Disconnect();
    dlg.DestroyWindow();
  }
  platform::SetBackend(nullptr);
  std::filesystem::remove_all(dir);
  return 0;
}
