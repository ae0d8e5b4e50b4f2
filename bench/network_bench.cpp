// What a network serial server costs: the same work on qelm-radio-sim radios reached over a
// local pseudo-terminal and through a real ser2net on loopback (telnet with the COM port
// option). One register command through the serial layer in-process; a save with a rate
// switch by qelm-cli; and a fleet of 16 radios behind two ser2net servers against one radio on
// a local line (the target: under 1.3 times). Prints wall times, ratios and CPU.
//
//   build/bench/network_bench [commands, default 20]
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "serial/RadioExchange.h"
#include "tests/Spawn.h"
#include "tests/e2e/SimProcess.h"
#include "tests/net/Ser2net.h"

namespace {

double ChildCpu() {
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// qelm-cli to its end: its status, wall and CPU seconds.
int RunCli(std::vector<std::string> args, double* wall, double* cpu) {
  args.insert(args.begin(), QELM_CLI_PATH);
  const double cpu0 = ChildCpu(), t0 = WallSeconds();
  pid_t pid = test_support::Spawn(args);
  int status = 0;
  waitpid(pid, &status, 0);
  *wall = WallSeconds() - t0;
  *cpu = ChildCpu() - cpu0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Per command: wall and CPU milliseconds, and the failures.
struct Commands {
  double wallMs = 0, cpuMs = 0;
  int failed = 0;
};

Commands TimeCommands(const std::string& port, int count) {
  Commands c;
  setenv("QELM_COM1", port.c_str(), 1);
  QuietHost host;
  if (CSerialPort::OpenPort(u"115200", false) != RC_OK) return {0, 0, count};
  BannerValues banner;
  ReadBanner(&banner);
  SendLine(":wit2400");
  char unread[200];
  CSerialPort::ReadStr(unread, sizeof unread);
  int32_t value = 0;
  const double cpu0 = CpuSeconds(), wall0 = WallSeconds();
  for (int i = 0; i < count; ++i) c.failed += RadioCommand(u"wn?", &value) != 0;
  c.wallMs = (WallSeconds() - wall0) / count * 1e3;
  c.cpuMs = (CpuSeconds() - cpu0) / count * 1e3;
  return c;
}

const std::vector<std::string> kSave = {"save", "--link", "3", "--new-rate", "57600"};
const std::vector<std::string> kExternal = {"--preset", "shrike", "--reconnect-after-open", "300"};

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 20;
  char tmpl[] = "/tmp/qelm-network-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("QELM_DATA_DIR", (dir + "/data").c_str(), 1);
  int bad = 0;

  std::printf("network_bench: local pseudo-terminal against ser2net on loopback\n");
  {
    SimProcess radio(dir + "/cmd", {"--preset", "shrike", "--internal"});
    Commands local = TimeCommands(dir + "/cmd", count);
    net_test::Ser2net server(dir, "cmd", {dir + "/cmd"});
    Commands remote = TimeCommands(server.Name(), count);
    std::printf(
        "  RadioCommand wn?: local %.1f ms, ser2net %.1f ms per command (+%.2f ms), "
        "CPU %.2f / %.2f ms, %d/%d failed\n",
        local.wallMs, remote.wallMs, remote.wallMs - local.wallMs, local.cpuMs, remote.cpuMs,
        local.failed, remote.failed);
    bad += local.failed + remote.failed;
  }
  double localSave = 0, remoteSave = 0, cpu = 0;
  {
    SimProcess radio(dir + "/save", kExternal);
    std::vector<std::string> args = kSave;
    args.push_back("--port=" + dir + "/save");
    bad += RunCli(args, &localSave, &cpu) != 0;
  }
  {
    SimProcess radio(dir + "/save2", kExternal);
    net_test::Ser2net server(dir, "save", {dir + "/save2"});
    std::vector<std::string> args = kSave;
    args.push_back("--port=" + server.Name());
    bad += RunCli(args, &remoteSave, &cpu) != 0;
  }
  std::printf("  save with a rate switch to 57600: local %.2f s, ser2net %.2f s (ratio %.3f)\n",
              localSave, remoteSave, remoteSave / localSave);

  constexpr int kFleet = 16;
  double oneWall = 0, oneCpu = 0, fleetWall = 0, fleetCpu = 0;
  std::vector<std::string> job = kSave;
  job.push_back("--verify");
  {
    SimProcess radio(dir + "/one", kExternal);
    std::vector<std::string> args = job;
    args.push_back("--port=" + dir + "/one");
    bad += RunCli(args, &oneWall, &oneCpu) != 0;
  }
  {
    std::vector<std::unique_ptr<SimProcess>> radios;
    std::vector<std::string> links[2];
    for (int i = 0; i < kFleet; ++i) {
      links[i % 2].push_back(dir + "/f" + std::to_string(i));
      radios.push_back(std::make_unique<SimProcess>(links[i % 2].back(), kExternal));
    }
    net_test::Ser2net a(dir, "a", links[0]), b(dir, "b", links[1]);
    std::string ports;
    for (int i = 0; i < kFleet; ++i) ports += (i ? "," : "") + (i % 2 ? b : a).Name(i / 2);
    std::vector<std::string> args = {"fleet", "--ports", ports, "--"};
    args.insert(args.end(), job.begin(), job.end());
    bad += RunCli(args, &fleetWall, &fleetCpu) != 0;
  }
  std::printf(
      "  save, rate switch, --verify: one local radio %.2f s; %d radios behind two "
      "ser2net %.2f s; ratio %.2f (target under 1.3); CPU per radio %.3f s\n",
      oneWall, kFleet, fleetWall, fleetWall / oneWall, fleetCpu / kFleet);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  if (bad) std::printf("  %d runs failed\n", bad);
  return bad ? 1 : 0;
}
