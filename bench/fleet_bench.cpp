// qelm-cli's fleet against the time of one radio: the same save (a rate switch to 57600, link
// 3, --verify) on one stand-in radio, then on 64 at once (or the number given), each radio a
// qelm-radio-sim on its own pseudo-terminal that restarts when its port is opened. The work is
// waiting on the radios, so 64 at once should take little longer than one even on two cores.
// Prints the wall times, their ratio, the CPU time of qelm-cli's processes and their memory:
// the largest resident size of one job's process, and the most that the fleet's processes
// held at one time, sampled every 50 ms.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "tests/Spawn.h"

namespace {

pid_t Spawn(std::vector<std::string> args, bool quiet) {
  return quiet ? test_support::Spawn(std::move(args))
               : test_support::Spawn(std::move(args), nullptr, nullptr);
}

struct Radios {
  std::vector<pid_t> pids;
  std::vector<std::string> links;
  Radios(const std::string& folder, const std::string& name, int count) {
    for (int i = 0; i < count; ++i) {
      links.push_back(folder + "/" + name + std::to_string(i));
      pids.push_back(Spawn({QELM_RADIO_SIM_PATH, "--quiet", "--preset", "shrike",
                            "--reconnect-after-open", "300", "--path", links.back()},
                           true));
    }
    struct stat st {};
    for (const auto& l : links)
      for (int i = 0; i < 3000 && lstat(l.c_str(), &st) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~Radios() {
    for (pid_t p : pids) kill(p, SIGTERM);
    for (pid_t p : pids) waitpid(p, nullptr, 0);
  }
};

double ChildCpu() {
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Resident kilobytes of a process, 0 when it is gone.
long RssKb(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// The parent process of a process, -1 when it is gone.
long ParentOf(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(text.substr(close + 2));
  std::string state;
  long ppid = -1;
  rest >> state >> ppid;
  return ppid;
}

struct Memory {
  long perJobKb = 0;  // the most one job's process held
  long allKb = 0;     // the most the program's processes held together
};

// Runs qelm-cli to its end; its wall seconds, its CPU seconds (its own processes only) and
// its memory.
int RunCli(std::vector<std::string> args, double* wall, double* cpu, Memory* memory) {
  args.insert(args.begin(), QELM_CLI_PATH);
  double cpu0 = ChildCpu(), t0 = WallSeconds();
  pid_t pid = Spawn(args, true);
  std::atomic<bool> done{false};
  std::thread sampler([&] {
    const std::string self = std::to_string(pid);
    while (!done) {
      long all = RssKb(self);
      for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        if (ParentOf(name) != pid) continue;
        long kb = RssKb(name);
        all += kb;
        memory->perJobKb = std::max(memory->perJobKb, kb);
      }
      memory->allKb = std::max(memory->allKb, all);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  int status = 0;
  waitpid(pid, &status, 0);
  done = true;
  sampler.join();
  *wall = WallSeconds() - t0;
  *cpu = ChildCpu() - cpu0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  char tmpl[] = "/tmp/qelm-fleet-bench-XXXXXX";
  std::string folder = mkdtemp(tmpl);
  setenv("QELM_DATA_DIR", (folder + "/data").c_str(), 1);
  const std::vector<std::string> job = {"save", "--link", "3", "--new-rate", "57600", "--verify"};
  const int kFleet = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;

  double oneWall = 0, oneCpu = 0, fleetWall = 0, fleetCpu = 0;
  Memory oneMemory, fleetMemory;
  int oneStatus = 0, fleetStatus = 0;
  {
    Radios one(folder, "one", 1);
    std::vector<std::string> args = job;
    args.push_back("--port=" + one.links[0]);
    oneStatus = RunCli(args, &oneWall, &oneCpu, &oneMemory);
    oneMemory.perJobKb = oneMemory.allKb;
  }
  {
    Radios many(folder, "fleet", kFleet);
    std::string ports;
    for (const auto& l : many.links) ports += (ports.empty() ? "" : ",") + l;
    std::vector<std::string> args = {"fleet", "--ports", ports, "--"};
    args.insert(args.end(), job.begin(), job.end());
    fleetStatus = RunCli(args, &fleetWall, &fleetCpu, &fleetMemory);
  }
  std::printf("fleet_bench: save with a rate switch and --verify\n");
  std::printf("  one radio:    %6.2f s wall, %6.3f s CPU (status %d)\n", oneWall, oneCpu,
              oneStatus);
  std::printf("  %d radios:    %6.2f s wall, %6.3f s CPU (status %d)\n", kFleet, fleetWall,
              fleetCpu, fleetStatus);
  std::printf("  ratio fleet/one: %.2f (target under 1.3); CPU per radio in the fleet %.3f s\n",
              fleetWall / oneWall, fleetCpu / kFleet);
  std::printf(
      "  memory: one job %.1f MB alone; in the fleet %.1f MB per job at most, %.1f MB for "
      "all its processes at the peak\n",
      oneMemory.allKb / 1024.0, fleetMemory.perJobKb / 1024.0, fleetMemory.allKb / 1024.0);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return oneStatus == 0 && fleetStatus == 0 ? 0 : 1;
}
