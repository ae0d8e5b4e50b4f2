// Saves across long network paths: qelm-cli saving a new link with a rate switch on a
// qelm-radio-sim radio behind ser2net, through a proxy that delays everything by 0, 150, 300
// and 600 ms each way with 10 % jitter. For each delay: how many saves succeeded, and each
// save's time against the time of the same save on the direct ser2net path plus one path round
// trip for every exchange that waits for the far end: each command's reply (the log's
// "ReadTerminatedStr" lines) and ten more (the answers awaited after ":wit2400" and "sd?", the
// confirmations after the rate command and after "z>", the rate switch of the server's line,
// the opening's connection, telnet negotiation, first question and line settings, and the
// close). Target: every save succeeds, each within 1.1 times that sum.
//
//   build/bench/long_path_bench [saves per delay, default 20] [delays in ms, default 0,150,300,600]
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/system/ProcessGroup.h"
#include "tests/e2e/SimProcess.h"
#include "tests/net/DelayProxy.h"
#include "tests/net/Ser2net.h"

namespace {

constexpr int kExchangesBesideReplies = 10;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int Count(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

struct Save {
  bool ok = false;
  double seconds = 0;
  int replies = 0;
};

// One save; the cable is reconnected when qelm-cli asks for it.
Save RunSave(const std::string& dir, const std::string& name, int index, const std::string& port,
             SimProcess& radio) {
  const std::string data = dir + "/data-" + name + "-" + std::to_string(index);
  setenv("QELM_DATA_DIR", data.c_str(), 1);
  // Alternate rates, so that every save switches.
  const char* rate = index % 2 ? "115200" : "57600";
  std::vector<std::string> argv = {
      QELM_CLI_PATH, "save", "--port", port, "--link", std::to_string(index % 16),
      "--new-rate",  rate,   "--wait", "60"};
  if (index % 2) argv.insert(argv.end(), {"--rate", "57600"});
  platform::ProcessGroup group;
  Save s;
  const double t0 = WallSeconds();
  if (group.Start(argv) < 0) return s;
  platform::ProcessGroup::Event ev;
  int status = -1;
  while (group.Next(&ev)) {
    if (ev.kind == platform::ProcessGroup::Event::kEnded) status = ev.status;
    if (ev.kind == platform::ProcessGroup::Event::kErrLine &&
        ev.line.find("Please disconnect, then reconnect the cable") != std::string::npos)
      radio.Replug();
  }
  s.seconds = WallSeconds() - t0;
  s.ok = status == 0;
  // The replies read whole; a failed read's line is "ERROR: ReadTerminatedStr: ...".
  s.replies = Count(ReadAll(data + "/TUVAR_TOOL_Log.txt"), ": ReadTerminatedStr: ");
  return s;
}

std::vector<Save> RunSaves(const std::string& dir, const std::string& name, int count, int delayMs,
                           bool proxied) {
  SimProcess radio(dir + "/" + name, {"--preset", "shrike", "--external"});
  net_test::Ser2net server(dir, name, {dir + "/" + name});
  std::unique_ptr<net_test::DelayProxy> proxy;
  std::string port = server.Name();
  if (proxied) {
    proxy = std::make_unique<net_test::DelayProxy>(server.Port(), delayMs, delayMs / 10);
    port = proxy->Name();
  }
  std::vector<Save> saves;
  for (int i = 0; i < count; ++i) saves.push_back(RunSave(dir, name, i, port, radio));
  return saves;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  std::vector<int> delays = {0, 150, 300, 600};
  if (argc > 2) {
    delays.clear();
    std::istringstream list(argv[2]);
    for (std::string d; std::getline(list, d, ',');) delays.push_back(std::atoi(d.c_str()));
  }
  char tmpl[] = "/tmp/qelm-long-path-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);

  // The direct ser2net path: the time each save would take without the path.
  std::vector<Save> direct = RunSaves(dir, "direct", std::min(count, 5), 0, false);
  double directSeconds = 0;
  for (const Save& s : direct) directSeconds += s.seconds / direct.size();
  std::printf("long_path_bench: %d saves with a rate switch per delay; direct ser2net %.2f s\n",
              count, directSeconds);
  std::printf(
      "| each way | succeeded | within target | exchanges | target (s) | fastest (s) | median (s) "
      "| slowest (s) | slowest / target |\n|---|---|---|---|---|---|---|---|---|\n");
  int bad = 0;
  for (int delay : delays) {
    std::vector<Save> saves = RunSaves(dir, "p" + std::to_string(delay), count, delay, true);
    int ok = 0;
    int exchanges = 0;
    std::vector<double> times;
    for (const Save& s : saves) {
      ok += s.ok;
      times.push_back(s.seconds);
      exchanges = std::max(exchanges, s.replies + kExchangesBesideReplies);
    }
    std::sort(times.begin(), times.end());
    const double target = 1.1 * (directSeconds + 2 * delay / 1000.0 * exchanges);
    int within = 0;
    for (const Save& s : saves) within += s.ok && s.seconds <= target;
    std::printf("| %d ms | %d of %d | %d | %d | %.2f | %.2f | %.2f | %.2f | %.2f |\n", delay, ok,
                static_cast<int>(saves.size()), within, exchanges, target, times.front(),
                times[times.size() / 2], times.back(), times.back() / target);
    std::fflush(stdout);
    bad += static_cast<int>(saves.size()) - ok;
  }
  // A failed save's log is kept for reading.
  std::error_code ec;
  if (bad)
    std::printf("%d saves failed; their logs are in %s\n", bad, dir.c_str());
  else
    std::filesystem::remove_all(dir, ec);
  return bad ? 1 : 0;
}
