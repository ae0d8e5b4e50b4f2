// What a fleet shows while it runs: the status line on a terminal (in a tmux pane: present,
// updating, cleared at the end), none of it where standard error is a pipe, the one waiting
// line per rate tried, and --quiet, which leaves only the table and the summary. Against
// qelm-radio-sim radios in real time.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "CliHarness.h"
#include "ReplugOnOpen.h"
#include "cli/FleetStatus.h"
#include "cli/FleetWaits.h"
#include "cli/WaitNotice.h"

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

TEST(FleetStatusTest, LiveLinesStandAboveTheStatusLineAndAreRewrittenInPlace) {
  std::ostringstream tty;
  cli::FleetStatus on(tty, true, 3);
  on.terminalSize = [](int* columns, int* rows) {
    *columns = 21;
    *rows = 24;
    return true;
  };
  on.SetLive({"[a] waiting at 19200 bps", "[b] short"});
  on.Update(0, 0, 3, 2000);
  // Each live line is cut to one row short of the width, so none wraps.
  EXPECT_EQ(tty.str(), "\r\x1b[K[a] waiting at 19200\n[b] short\n0 of 3 done \u00b7 0 fail");
  tty.str("");
  // Rewritten in place: up to the first live row, everything below cleared, drawn again.
  on.SetLive({"[b] short"});
  on.Update(0, 0, 3, 2000);
  EXPECT_EQ(tty.str(), "\r\x1b[2A\x1b[J[b] short\n0 of 3 done \u00b7 0 fail");
  tty.str("");
  // Nothing changed within the second: nothing is written.
  on.Update(0, 0, 3, 2500);
  EXPECT_EQ(tty.str(), "");
  // A line of its own goes above the block; the block follows it.
  on.Line("[c] error");
  EXPECT_EQ(tty.str(), "\r\x1b[1A\x1b[J[c] error\n\r\x1b[K[b] short\n0 of 3 done \u00b7 0 fail");
  tty.str("");
  on.Clear();
  EXPECT_EQ(tty.str(), "\r\x1b[1A\x1b[J");
}

TEST(FleetStatusTest, LiveLinesBeyondTheTerminalsHeightAreCounted) {
  std::ostringstream tty;
  cli::FleetStatus on(tty, true, 9);
  on.terminalSize = [](int* columns, int* rows) {
    *columns = 80;
    *rows = 5;
    return true;
  };
  on.SetLive({"[1] w", "[2] w", "[3] w", "[4] w", "[5] w"});
  on.Update(0, 0, 9, 0);
  // Five rows: three for live lines (the last of them the count), the status line, one spare.
  EXPECT_EQ(tty.str(),
            "\r\x1b[K[1] w\n[2] w\n... and 3 more waiting\n0 of 9 done \u00b7 0 failed \u00b7 9 "
            "running \u00b7 0:00");
}

TEST(WaitNoticeTest, ANoticeComesBackFromItsLineAndNothingElseIsOne) {
  cli::WaitNotice n{"19200", 4, 41000, false}, back;
  ASSERT_TRUE(cli::ParseWaitNoticeLine(cli::WaitNoticeLine(n), &back));
  EXPECT_EQ(back.rate, "19200");
  EXPECT_EQ(back.ratesTried, 4);
  EXPECT_EQ(back.leftMs, 41000u);
  EXPECT_FALSE(back.over);
  ASSERT_TRUE(
      cli::ParseWaitNoticeLine(cli::WaitNoticeLine({"4800", 1, std::nullopt, false}), &back));
  EXPECT_FALSE(back.leftMs.has_value());
  ASSERT_TRUE(cli::ParseWaitNoticeLine(cli::WaitNoticeLine({"", 0, std::nullopt, true}), &back));
  EXPECT_TRUE(back.over);
  for (const char* junk :
       {"", "QELM-FLEET-WAIT ", "QELM-FLEET-WAIT 19200", "QELM-FLEET-WAIT 19200 0 5",
        "QELM-FLEET-WAIT 19200 2 -5", "QELM-FLEET-WAIT x 2 5",
        "Please disconnect, then reconnect the cable to the radio."})
    EXPECT_FALSE(cli::ParseWaitNoticeLine(junk, &back)) << junk;
}

TEST(WaitNoticeTest, TheLineSaysWhichRateAndWhatIsLeftOfTheBound) {
  const std::string head =
      "Please disconnect, then reconnect the cable to the radio. Waiting for radio at ";
  EXPECT_EQ(cli::WaitingText("115200", 1, 60000), head + "115200 bps... (60 s of --wait left)");
  EXPECT_EQ(cli::WaitingText("9600", 2, 40001),
            head + "9600 bps... (the 2nd rate; 41 s of --wait left)");
  EXPECT_EQ(cli::WaitingText("4800", 11, 0),
            head + "4800 bps... (the 11th rate; 0 s of --wait left)");
  EXPECT_EQ(cli::WaitingText("4800", 23, std::nullopt), head + "4800 bps... (the 23rd rate)");
  EXPECT_EQ(cli::WaitingText("4800", 1, std::nullopt), head + "4800 bps...");
}

TEST(WaitNoticeTest, AFleetWritesTheFirstWaitOfAConnectOnceAndCountsTheRestDown) {
  cli::FleetWaits waits;
  const std::string once = waits.Take(7, "/dev/a", {"115200", 1, 30000, false}, 1000);
  EXPECT_EQ(once.rfind("[/dev/a] Please disconnect", 0), 0u) << once;
  EXPECT_NE(once.find("115200 bps... (30 s of --wait left)"), std::string::npos) << once;
  // The next rates of the same connect are not written again, only shown live.
  EXPECT_EQ(waits.Take(7, "/dev/a", {"4800", 2, 25000, false}, 6000), "");
  EXPECT_EQ(waits.Take(9, "/dev/b", {"115200", 1, 30000, false}, 6000).empty(), false);
  auto live = waits.LiveLines(16000);
  ASSERT_EQ(live.size(), 2u);
  // What changes comes first, where a narrow terminal does not cut it off.
  EXPECT_EQ(live[0].rfind("[/dev/a] Waiting for radio at 4800 bps... (the 2nd rate; 15 s of --wait "
                          "left) Please disconnect, then reconnect the cable to the radio.",
                          0),
            0u)
      << live[0];
  EXPECT_NE(live[1].find("115200 bps... (20 s of --wait left)"), std::string::npos) << live[1];
  // A bound that has passed shows as nothing left, not as a wrapped count.
  EXPECT_NE(waits.LiveLines(99000)[0].find("(the 2nd rate; 0 s of --wait left)"),
            std::string::npos);
  // The connect is over for one, the process has ended for the other.
  EXPECT_EQ(waits.Take(7, "/dev/a", {"", 0, std::nullopt, true}, 17000), "");
  waits.Ended(9);
  EXPECT_TRUE(waits.LiveLines(17000).empty());
  // The verify's connect asks for the cable again: written again.
  EXPECT_FALSE(waits.Take(7, "/dev/a", {"115200", 1, 30000, false}, 18000).empty());
}

class CliProgressTest : public ::testing::Test {
 protected:
  Folder folder;
};

TEST_F(CliProgressTest, OnATerminalOneStatusLineUpdatesInPlaceAndIsClearedAtTheEnd) {
  if (std::system("tmux -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
  // One radio answers at once; the other's cable is never reconnected, so the fleet runs on
  // for the whole --wait and the line has time to change.
  SimRadio quick(folder.Path(), "quick", {"--preset", "shrike"});
  SimRadio silent(folder.Path(), "silent", {"--preset", "shrike"});
  ReplugOnOpen plug({&quick}, folder.LogPath());
  const std::string socket = "-f /dev/null -L qelm-cli-progress-" + std::to_string(getpid());
  const std::string command = "QELM_DATA_DIR=" + folder.Path() + "/data " + QELM_CLI_PATH +
                              " fleet --ports " + quick.Port() + "," + silent.Port() +
                              " --wait 15 -- read; echo FLEET-ENDED; sleep 60";
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
      40000);
  EXPECT_TRUE(shown) << first;
  // The silent radio's wait is one line above the status line, which says what is left of the
  // bound.
  const std::string waiting = "[" + silent.Port() + "] Waiting for radio at 115200 bps... (";
  auto waitLines = [&](const std::string& s) {
    int n = 0;
    for (size_t at = s.find(waiting); at != std::string::npos; at = s.find(waiting, at + 1)) ++n;
    return n;
  };
  auto leftOf = [&](const std::string& s) {
    const size_t at = s.find(waiting), end = s.find(" s of --wait left)", at);
    if (at == std::string::npos || end == std::string::npos) return std::string();
    return s.substr(s.rfind(' ', end - 1) + 1, end - s.rfind(' ', end - 1) - 1);
  };
  EXPECT_EQ(waitLines(first), 1) << first;
  const std::string leftFirst = leftOf(first);
  EXPECT_FALSE(leftFirst.empty()) << first;
  // Updating in place: the time on the status line and what is left of the bound move on, and
  // the waiting line is still the only one of its port.
  const size_t at = first.find("1 running \u00b7 ");
  const std::string time = at == std::string::npos ? "" : first.substr(at, 20);
  std::string later;
  EXPECT_TRUE(waitFor(
      [&](const std::string& s) {
        later = s;
        return s.find(" running \u00b7 ") != std::string::npos &&
               s.find(time) == std::string::npos && !leftOf(s).empty() && leftOf(s) != leftFirst;
      },
      20000))
      << later;
  EXPECT_EQ(waitLines(later), 1) << later;
  std::string last;
  EXPECT_TRUE(waitFor(
      [&](const std::string& s) {
        last = s;
        return s.find("FLEET-ENDED") != std::string::npos;
      },
      40000));
  // Cleared: the summary stands where the line was, and no count and no waiting line is left
  // on the screen.
  EXPECT_EQ(last.find(" running \u00b7 "), std::string::npos) << last;
  EXPECT_EQ(last.find("Please disconnect"), std::string::npos) << last;
  EXPECT_NE(last.find("2 ports: 1 done, 1 failed"), std::string::npos) << last;
  // The server leaves its socket file behind when it ends; the test takes it away.
  std::string path = Output("tmux " + socket + " display-message -p '#{socket_path}'");
  while (!path.empty() && path.back() == '\n') path.pop_back();
  std::system(("tmux " + socket + " kill-server >/dev/null 2>&1").c_str());
  if (!path.empty()) std::filesystem::remove(path);
}

TEST_F(CliProgressTest, OnAPipeThereIsNoStatusLineAndOneWaitingLinePerConnect) {
  // The radio answers at 19200, the fleet starts at 115200: it waits at five rates in turn,
  // the cable replugged at each.
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike", "--baud", "19200"});
  ReplugOnOpen plug({&radio}, folder.LogPath());
  CliRun run = RunCli({"fleet", "--ports", radio.Port(), "--wait", "90", "--", "read"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find(" 19200 "), std::string::npos) << run.out;
  int opened = 0;
  for (const std::string& l : LogTexts(folder.LogPath()))
    if (l.find("Port " + radio.Port() + " opened at ") != std::string::npos) ++opened;
  EXPECT_EQ(opened, 5);
  for (const std::string& l : run.err) {
    EXPECT_EQ(l.find(" running \u00b7 "), std::string::npos) << l;
    EXPECT_EQ(l.find('\x1b'), std::string::npos) << l;
  }
  // One waiting line for the five waits: its rate and what is left of --wait.
  ASSERT_EQ(run.err.size(), 1u) << run.err.back();
  EXPECT_EQ(run.err[0].rfind("[" + radio.Port() +
                                 "] Please disconnect, then reconnect the cable to the radio. "
                                 "Waiting for radio at 115200 bps... (",
                             0),
            0u)
      << run.err[0];
  EXPECT_NE(run.err[0].find(" s of --wait left)"), std::string::npos) << run.err[0];
}

TEST_F(CliProgressTest, AJobOfItsOwnTellsEachRateItWaitsAt) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike", "--baud", "9600"});
  CliRun run = RunCli({"read", "--port", radio.Port(), "--wait", "90"}, {{radio.Port(), &radio}});
  ASSERT_EQ(run.status, 0) << run.out;
  Texts waits;
  for (const std::string& l : run.err)
    if (l.rfind("Please disconnect", 0) == 0) waits.push_back(l);
  ASSERT_EQ(waits.size(), 3u);
  EXPECT_NE(waits[0].find("at 115200 bps... ("), std::string::npos) << waits[0];
  EXPECT_NE(waits[1].find("at 4800 bps... (the 2nd rate; "), std::string::npos) << waits[1];
  EXPECT_NE(waits[2].find("at 9600 bps... (the 3rd rate; "), std::string::npos) << waits[2];
}

TEST_F(CliProgressTest, AQuietFleetOfSixtyFourPrintsOneLinePerRadioAndTheSummary) {
  std::vector<std::unique_ptr<SimRadio>> radios;
  std::string ports;
  for (int i = 0; i < 64; ++i) {
    radios.push_back(std::make_unique<SimRadio>(folder.Path(), "q" + std::to_string(i),
                                                Texts{"--preset", i % 2 ? "shrike" : "vireo-us"}));
    ports += (i ? "," : "") + radios.back()->Port();
  }
  std::vector<SimRadio*> all;
  for (auto& r : radios) all.push_back(r.get());
  ReplugOnOpen plug(all, folder.LogPath());
  CliRun run =
      RunCli({"fleet", "--ports", ports, "--jobs", "8", "--wait", "60", "--quiet", "--", "read"});
  std::string errors;
  for (const std::string& l : run.err) errors += l + "\n";
  ASSERT_EQ(run.status, 0) << run.out << errors;
  EXPECT_TRUE(run.err.empty()) << run.err.front();
  const long lines = std::count(run.out.begin(), run.out.end(), '\n');
  EXPECT_EQ(lines, 1 + 64 + 1) << run.out;  // the heading, a line per radio, the summary
  EXPECT_NE(run.out.find("64 ports: 64 done, 0 failed"), std::string::npos) << run.out;
}

TEST_F(CliProgressTest, AQuietJobSaysNothingButItsReportAndItsErrors) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike"});
  std::optional<ReplugOnOpen> plug(std::in_place, std::vector<SimRadio*>{&radio}, folder.LogPath());
  CliRun run = RunCli({"save", "--port", radio.Port(), "--link", "9", "--quiet", "--wait", "30"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(run.err.empty()) << run.err.front();
  EXPECT_NE(run.out.find("Result:    done"), std::string::npos) << run.out;
  plug.reset();
  // An error still reaches standard error.
  CliRun bad = RunCli({"save", "--port", radio.Port(), "--device", "0", "--quiet", "--rate",
                       "19200", "--wait", "1"});
  EXPECT_NE(bad.status, 0);
  EXPECT_FALSE(bad.err.empty()) << bad.out;
}

}  // namespace
