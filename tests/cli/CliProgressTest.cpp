// What a fleet shows while it runs: the status line on a terminal (in a tmux pane: present,
// updating, cleared at the end), none of it where standard error is a pipe, the one waiting
// line per rate tried, and --quiet, which leaves only the table and the summary. Against
// qelm-radio-sim radios in real time.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

#include "CliHarness.h"
#include "cli/FleetStatus.h"

using namespace cli_test;

namespace {

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

TEST(FleetStatusTest, TheLineCountsEachStateAndTheTime) {
  EXPECT_EQ(cli::FleetStatus::Text(64, 17, 2, 45, 41500),
            "17 of 64 done \u00b7 2 failed \u00b7 45 running \u00b7 0:41");
  EXPECT_EQ(cli::FleetStatus::Text(64, 0, 0, 32, 61000),
            "0 of 64 done \u00b7 0 failed \u00b7 32 running \u00b7 32 to start \u00b7 1:01");
  // Off the terminal nothing of it is written; other lines pass unchanged.
  std::ostringstream err;
  cli::FleetStatus off(err, false, 2);
  off.Update(1, 0, 1, 1000);
  off.Line("[p] a line");
  off.Clear();
  EXPECT_EQ(err.str(), "[p] a line\n");
  std::ostringstream tty;
  cli::FleetStatus on(tty, true, 2);
  on.Update(1, 0, 1, 1000);
  on.Line("[p] a line");
  on.Clear();
  EXPECT_EQ(tty.str(),
            "\r\x1b[K1 of 2 done \u00b7 0 failed \u00b7 1 running \u00b7 0:01\r\x1b[K[p] a line\n"
            "\r\x1b[K1 of 2 done \u00b7 0 failed \u00b7 1 running \u00b7 0:01\r\x1b[K");
}

class CliProgressTest : public ::testing::Test {
 protected:
  Folder folder;
};

TEST_F(CliProgressTest, OnATerminalOneStatusLineUpdatesInPlaceAndIsClearedAtTheEnd) {
  if (std::system("tmux -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
  // One radio answers at once; the other's cable is never reconnected, so the fleet runs on
  // for the whole --wait and the line has time to change.
  SimRadio quick(folder.Path(), "quick", {"--preset", "shrike", "--reconnect-after-open", "200"});
  SimRadio silent(folder.Path(), "silent", {"--preset", "shrike"});
  const std::string socket = "-f /dev/null -L qelm-cli-progress-" + std::to_string(getpid());
  const std::string command = "QELM_DATA_DIR=" + folder.Path() + "/data " + QELM_CLI_PATH +
                              " fleet --ports " + quick.Port() + "," + silent.Port() +
                              " --wait 8 -- read; echo FLEET-ENDED; sleep 60";
  std::system(
      ("tmux " + socket + " new-session -d -s main -x 160 -y 40 " + Quote(command)).c_str());
  auto screen = [&] { return Output("tmux " + socket + " capture-pane -p -t main"); };
  auto waitFor = [&](auto seen, int ms) {
    for (int i = 0; i < ms / 50; ++i) {
      if (seen(screen())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  };
  std::string first;
  const bool shown = waitFor(
      [&](const std::string& s) {
        first = s;
        return s.find("1 of 2 done \u00b7 0 failed \u00b7 1 running") != std::string::npos;
      },
      60000);
  EXPECT_TRUE(shown) << first;
  // Updating: the time on the line moves on.
  const size_t at = first.find("1 running \u00b7 ");
  const std::string time = at == std::string::npos ? "" : first.substr(at, 20);
  EXPECT_TRUE(waitFor(
      [&](const std::string& s) {
        return s.find(" running \u00b7 ") != std::string::npos && s.find(time) == std::string::npos;
      },
      20000))
      << screen();
  std::string last;
  EXPECT_TRUE(waitFor(
      [&](const std::string& s) {
        last = s;
        return s.find("FLEET-ENDED") != std::string::npos;
      },
      60000));
  // Cleared: the summary stands where the line was, and no count is left on the screen.
  EXPECT_EQ(last.find(" running \u00b7 "), std::string::npos) << last;
  EXPECT_NE(last.find("2 ports: 1 done, 1 failed"), std::string::npos) << last;
  // The server leaves its socket file behind when it ends; the test takes it away.
  std::string path = Output("tmux " + socket + " display-message -p '#{socket_path}'");
  while (!path.empty() && path.back() == '\n') path.pop_back();
  std::system(("tmux " + socket + " kill-server >/dev/null 2>&1").c_str());
  if (!path.empty()) std::filesystem::remove(path);
}

TEST_F(CliProgressTest, OnAPipeThereIsNoStatusLineAndOneWaitingLinePerRate) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike"});
  CliRun run = RunCli({"fleet", "--ports", radio.Port(), "--wait", "30", "--", "read"},
                      {{radio.Port(), &radio}});
  ASSERT_EQ(run.status, 0) << run.out;
  for (const std::string& l : run.err) {
    EXPECT_EQ(l.find(" running \u00b7 "), std::string::npos) << l;
    EXPECT_EQ(l.find('\x1b'), std::string::npos) << l;
  }
  // The waiting line names its rate and what is left of --wait, in one line.
  ASSERT_FALSE(run.err.empty());
  EXPECT_NE(run.err[0].find("Please disconnect, then reconnect the cable to the radio. Waiting "
                            "for radio at 115200 bps... ("),
            std::string::npos)
      << run.err[0];
  EXPECT_NE(run.err[0].find(" s of --wait left)"), std::string::npos) << run.err[0];
}

TEST_F(CliProgressTest, AQuietFleetOfSixtyFourPrintsOneLinePerRadioAndTheSummary) {
  std::vector<std::unique_ptr<SimRadio>> radios;
  std::string ports;
  for (int i = 0; i < 64; ++i) {
    radios.push_back(std::make_unique<SimRadio>(
        folder.Path(), "q" + std::to_string(i),
        Texts{"--preset", i % 2 ? "shrike" : "vireo-us", "--reconnect-after-open", "1500"}));
    ports += (i ? "," : "") + radios.back()->Port();
  }
  CliRun run =
      RunCli({"fleet", "--ports", ports, "--jobs", "32", "--wait", "60", "--quiet", "--", "read"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(run.err.empty()) << run.err.front();
  const long lines = std::count(run.out.begin(), run.out.end(), '\n');
  EXPECT_EQ(lines, 1 + 64 + 1) << run.out;  // the heading, a line per radio, the summary
  EXPECT_NE(run.out.find("64 ports: 64 done, 0 failed"), std::string::npos) << run.out;
}

TEST_F(CliProgressTest, AQuietJobSaysNothingButItsReportAndItsErrors) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike", "--reconnect-after-open", "200"});
  CliRun run = RunCli({"save", "--port", radio.Port(), "--link", "9", "--quiet", "--wait", "30"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(run.err.empty()) << run.err.front();
  EXPECT_NE(run.out.find("Result:    done"), std::string::npos) << run.out;
  // An error still reaches standard error.
  CliRun bad = RunCli({"save", "--port", radio.Port(), "--device", "0", "--quiet", "--rate",
                       "19200", "--wait", "1"});
  EXPECT_NE(bad.status, 0);
  EXPECT_FALSE(bad.err.empty()) << bad.out;
}

}  // namespace
