// Storing into a model 2410 radio and resetting it, against qelm-radio-sim over a
// pseudo-terminal, through the real termios layer and the main dialog (headless windows, real
// time): a Save that switches the rate from 115200 to 19200, a Save of the complete handle
// profile, and a full US maker defaults reset of an external radio (the port reopened at its
// new rate). Prints each one's wall time against the protocol's floor (the fixed waits plus
// the bytes at the line rate) as a ratio, and the CPU time used.
//
//   build/bench/store_bench
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/CConfigApp.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/headless/HeadlessBackend.h"
#include "radio/ResetToDefaults.h"
#include "radio/StoreSettings.h"
#include "resources/resource.h"
#include "tests/e2e/SimProcess.h"
#include "ui/CConfigDlg.h"

namespace {

constexpr int D = IDD_QELMCONFIG_DIALOG;

// One register command: the emptying read's 100 ms and the 50 ms pause. The answer is echoed
// as the line goes out and is complete within the pause, so of the line itself only the first
// byte out and its echo back count.
double Command(const std::string&, double baud) {
  return 0.15 + LineSeconds(2, baud);
}
double Commands(const std::vector<std::string>& cmds, double baud) {
  double s = 0;
  for (const auto& c : cmds) s += Command(c, baud);
  return s;
}
double Raw(const std::string& line, double baud) {
  return LineSeconds(line.size() + 2, baud);
}

// Save 115200 -> 19200: the first emptying read, mode and link at the old rate, the rate
// command, 200 ms, purge, 200 ms, the lone CR, 200 ms, "sd?", 200 ms, the quiet read after its
// answer, then the profile registers and the closing lines at the new rate.
double SaveWithSwitchFloor() {
  return 0.1 + Commands({"wb1", "wn3"}, 115200) + Raw("sd0B", 115200) + 0.8 +
         LineSeconds(1 + 5 + 6, 19200) + 0.1 +
         Commands({"pn1", "pw30", "pr10", "wu01", "dx04"}, 19200) + Raw("m>", 19200) +
         Raw("z>", 19200);
}

double HandleFloor() {
  return 0.1 +
         Commands({"sp00", "wb0", "wd30", "wg0", "wl0", "wn0", "wp1", "wu1", "dx0", "pe6", "pk01",
                   "pr30", "pt00", "px0", "zb1", "zc1", "zp0", "zq0"},
                  115200) +
         Raw("m>", 115200) + Raw("z>", 115200);
}

// US reset: "m0" raw, the band, the profile registers, the mode, the rate command raw, the
// port reopened (its 200 ms), "m>" at the new rate, "z>".
double ResetFloor() {
  return Raw("m0", 115200) +
         Commands({"pe00", "pn1", "pw30", "pr10", "wu01", "dx04", "wb1"}, 115200) +
         Raw("sd0B", 115200) + 0.2 + Command("m>", 19200) + Raw("z>", 19200);
}

struct Bench {
  std::string dir;
  platform::HeadlessBackend& ui;

  // Runs one case: a stand-in on COM1 or COM3, a connect, then the timed action.
  bool Run(const char* title, std::vector<std::string> simArgs, bool internal,
           const std::function<void(CConfigDlg&)>& prepare, double floor,
           const std::function<bool(CConfigDlg&)>& action) {
    const std::string port = internal ? "com3" : "com1";
    SimProcess radio(dir + "/" + port, simArgs);
    if (!radio.Running()) {
      std::fprintf(stderr, "qelm-radio-sim did not start\n");
      return false;
    }
    setenv(internal ? "QELM_COM3" : "QELM_COM1", (dir + "/" + port).c_str(), 1);
    CConfigDlg dlg;
    dlg.Create();
    ui.SelectText(D, IDC_PORT, internal ? u"COM3" : u"COM1");
    ui.SelectText(D, IDC_BAUDRATE, u"115200");
    ui.Click(D, IDC_CONNECT);
    if (!dlg.m_settings.connected) {
      std::fprintf(stderr, "%s: could not connect\n", title);
      return false;
    }
    prepare(dlg);
    double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    bool ok = action(dlg);
    double wall = WallSeconds() - wall0, cpu = CpuSeconds() - cpu0;
    std::printf("%-44s %6.0f ms, floor %6.0f ms, ratio %.3f, CPU %5.1f ms (%.2f%%)%s\n", title,
                wall * 1e3, floor * 1e3, wall / floor, cpu * 1e3, 100 * cpu / wall,
                ok ? "" : "  FAILED");
    dlg.Disconnect();
    dlg.DestroyWindow();
    return ok;
  }
};

}  // namespace

int main() {
  std::string dir = std::filesystem::temp_directory_path() / "qelm-bench-store";
  std::filesystem::create_directories(dir);
  setenv("QELM_DATA_DIR", (dir + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  CConfigApp app;
  platform::VirtualClock unused;  // the windows are headless; time is real
  platform::HeadlessBackend ui(unused);
  platform::SetBackend(&ui);
  Bench bench{dir, ui};
  bool ok = true;
  ok &= bench.Run(
      "save, rate switch 115200 -> 19200:",
      {"--model", "2410", "--baud", "115200", "--preset", "vireo-us", "--internal"}, true,
      [&](CConfigDlg&) { ui.SelectText(D, IDC_BAUDRATE, u"19200"); }, SaveWithSwitchFloor(),
      [&](CConfigDlg& dlg) {
        return radio::SaveSettings(dlg) == 0 && dlg.m_settings.portBaudText == u"19200";
      });
  ok &= bench.Run(
      "save, handle profile:",
      {"--model", "2410", "--baud", "115200", "--preset", "corax", "--internal"}, true,
      [](CConfigDlg&) {}, HandleFloor(),
      [&](CConfigDlg& dlg) { return radio::SaveSettings(dlg) == 0; });
  ok &= bench.Run(
      "maker defaults, US, external (reopen 19200):",
      {"--model", "2410", "--baud", "115200", "--preset", "vireo-us", "--external",
       "--reconnect-after-open", "2500"},
      false, [](CConfigDlg&) {}, ResetFloor(),
      [&](CConfigDlg& dlg) {
        ui.AnswerNext(platform::IDYES);
        return radio::ResetToDefaults(dlg) == radio::ResetOutcome::kDone;
      });
  platform::SetBackend(nullptr);
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
