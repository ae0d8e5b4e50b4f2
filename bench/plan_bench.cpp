// qelm-cli's plan and its skipping of unneeded stores, in real time against qelm-radio-sim
// radios that restart when their port is opened:
//  - a --plan (link 3) of one radio, then of 64 at once (or the number given) through a fleet:
//    the wall times and their ratio (a plan only reads, so 64 should take little longer);
//  - a save of 64 radios of which three quarters already hold the settings asked for, once
//    as it runs now (those radios get no store) and once with --always-store: the time saved.
// Each run gets radios of its own, so no run finds what an earlier one stored.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/Spawn.h"

namespace {

struct Radios {
  std::vector<pid_t> pids;
  std::vector<std::string> links;
  // held: how many start with the settings the save asks for (the others differ in link).
  Radios(const std::string& folder, const std::string& name, int count, int held) {
    for (int i = 0; i < count; ++i) {
      links.push_back(folder + "/" + name + std::to_string(i));
      pids.push_back(test_support::Spawn(
          {QELM_RADIO_SIM_PATH, "--quiet", "--preset", i < held ? "shrike" : "vireo-swiss",
           "--reconnect-after-open", "300", "--path", links.back()}));
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
  std::string Ports() const {
    std::string out;
    for (const auto& l : links) out += (out.empty() ? "" : ",") + l;
    return out;
  }
};

// qelm-cli of the same build as the stand-in (or QELM_CLI when set).
std::string CliPath() {
  if (const char* given = std::getenv("QELM_CLI")) return given;
  return (std::filesystem::path(QELM_RADIO_SIM_PATH).parent_path().parent_path() / "cli" /
          "qelm-cli")
      .string();
}

// Runs qelm-cli with the arguments; the wall time in seconds, negative when it failed.
double Timed(std::vector<std::string> args) {
  args.insert(args.begin(), CliPath());
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = test_support::Spawn(args);
  int status = 0;
  waitpid(pid, &status, 0);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -s;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 64;
  char tmpl[] = "/tmp/qelm-plan-bench-XXXXXX";
  const std::string folder = mkdtemp(tmpl);
  setenv("QELM_DATA_DIR", (folder + "/data").c_str(), 1);
  const std::string jobs = "--jobs=" + std::to_string(count);

  double one = 0, many = 0;
  {
    Radios r(folder, "p", 1, 1);
    one = Timed({"save", "--port", r.links[0], "--link", "3", "--plan"});
  }
  {
    Radios r(folder, "q", count, count);
    many = Timed(
        {"fleet", "--ports", r.Ports(), jobs, "--quiet", "--", "save", "--link", "3", "--plan"});
  }
  std::printf("plan of 1 radio:   %6.2f s\n", one);
  std::printf("plan of %d radios: %6.2f s (ratio %.2f; target under 1.3)\n", count, many,
              many / one);

  // Shrike holds link 5, Base, entry 2; a Swiss Vireo differs from it in the link only.
  const int held = count * 3 / 4;
  const std::vector<std::string> save = {"--",     "save", "--link",   "5",
                                         "--mode", "base", "--device", "2"};
  double skipping = 0, storing = 0;
  {
    Radios r(folder, "s", count, held);
    std::vector<std::string> args = {"fleet", "--ports", r.Ports(), jobs, "--quiet"};
    args.insert(args.end(), save.begin(), save.end());
    skipping = Timed(args);
  }
  {
    Radios r(folder, "a", count, held);
    std::vector<std::string> args = {"fleet", "--ports", r.Ports(), jobs, "--quiet"};
    args.insert(args.end(), save.begin(), save.end());
    args.push_back("--always-store");
    storing = Timed(args);
  }
  std::printf("save of %d radios, %d holding the settings: %6.2f s\n", count, held, skipping);
  std::printf("the same with --always-store:               %6.2f s (saved %.2f s, %.0f%%)\n",
              storing, storing - skipping, 100 * (storing - skipping) / storing);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return one > 0 && many > 0 && skipping > 0 && storing > 0 ? 0 : 1;
}
