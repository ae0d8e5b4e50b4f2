// The sequences over long network paths: a proxy of the test's own between qelm-cli and
// ser2net delays everything by 150, 300 and 600 ms each way with 10 % jitter (and by nothing,
// where every wait is the cable's). A save with a rate switch and --verify (which reads before
// and after) and the maker defaults reset are each checked against what the stand-in heard
// and holds in its state file; the stand-in's cable is reconnected when the program asks, as a
// person would. A reply held back past the extended wait is refused as late, with the path's
// round trip said. QELM_TEST_DELAY_MS runs the save at another delay only.
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <regex>

#include "../cli/CliHarness.h"
#include "DelayProxy.h"
#include "Ser2net.h"

using namespace cli_test;
using namespace net_test;

namespace {

std::vector<int> Delays() {
  if (const char* d = std::getenv("QELM_TEST_DELAY_MS")) return {std::atoi(d)};
  return {0, 150, 300, 600};
}

bool Has(const Texts& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Latency : public ::testing::TestWithParam<int> {
 protected:
  int DelayMs() const { return GetParam(); }
  // Ten per cent of the delay, either way.
  int SpreadMs() const { return DelayMs() / 10; }
  std::string State(const std::string& name) const { return folder.Path() + "/" + name + ".state"; }
  // What the report says of the path: the round trip within what the proxy makes of it (on a
  // busy machine the proxy is late too), never missing on a network line.
  void ExpectPathOf(const nlohmann::json& report) const {
    ASSERT_TRUE(report.contains("path_ms")) << report;
    ASSERT_TRUE(report["path_ms"].is_number()) << report;
    const int path = report["path_ms"];
    EXPECT_GE(path, 2 * (DelayMs() - SpreadMs()) - 5) << report;
    EXPECT_LE(path, 2 * (DelayMs() + SpreadMs()) + 150) << report;
  }
  Folder folder;
};

TEST_P(Latency, SaveWithARateSwitchAndVerify) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike", "--state", State("r1")});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  DelayProxy proxy(server.Port(), DelayMs(), SpreadMs());
  CliRun run = RunCli({"save", "--port", proxy.Name(), "--link", "7", "--new-rate", "19200",
                       "--verify", "--json", "--wait", "60"},
                      {{"", &radio}});
  const auto report = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_EQ(run.status, 0) << run.out << ReadAll(folder.LogPath())
                           << ReadAll(folder.Path() + "/r1.sim");
  EXPECT_EQ(report["verified"], true) << report;
  EXPECT_EQ(report["stored"], true) << report;
  EXPECT_EQ(report["rate"], 19200) << report;
  EXPECT_EQ(report["link"], 7) << report;
  ExpectPathOf(report);
  // The radio holds it, and heard the rate switch and the store once.
  const std::string state = ReadAll(State("r1"));
  EXPECT_NE(state.find("baud=19200"), std::string::npos) << state;
  EXPECT_NE(state.find("wn=07"), std::string::npos) << state;
  const Texts heard = radio.Lines();
  EXPECT_EQ(std::count(heard.begin(), heard.end(), "sd0B"), 1);
  EXPECT_EQ(std::count(heard.begin(), heard.end(), "m>"), 1);
  // The path's round trip is in the log, once a connection at least.
  const std::string log = ReadAll(folder.LogPath());
  EXPECT_NE(log.find("Path round trip: "), std::string::npos);
  EXPECT_EQ(log.find("RadioCommand error"), std::string::npos) << log;
}

TEST_P(Latency, MakerDefaultsReset) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "vireo-us", "--state", State("r1")});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  DelayProxy proxy(server.Port(), DelayMs(), SpreadMs());
  CliRun run =
      RunCli({"reset", "--port", proxy.Name(), "--yes", "--json", "--wait", "60"}, {{"", &radio}});
  const auto report = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_EQ(run.status, 0) << run.out << ReadAll(folder.LogPath())
                           << ReadAll(folder.Path() + "/r1.sim");
  EXPECT_EQ(report["stored"], true) << report;
  EXPECT_EQ(report["rate"], 19200) << report;
  ExpectPathOf(report);
  const Texts heard = radio.Lines();
  const Texts tail = {"m0",   "pe00", "pn1",  "pw30", "pr10", "wu01",
                      "dx04", "wb1",  "sd0B", "m>",   "z>"};
  ASSERT_GE(heard.size(), tail.size());
  EXPECT_EQ(Texts(heard.end() - tail.size(), heard.end()), tail);
  const std::string state = ReadAll(State("r1"));
  for (const char* held : {"baud=19200", "pw=30", "pr=10", "dx=04"})
    EXPECT_NE(state.find(held), std::string::npos) << held << "\n" << state;
  EXPECT_TRUE(Has(LogTexts(folder.LogPath()), "Morva US defaults saved."));
}

INSTANTIATE_TEST_SUITE_P(EachWay, Latency, ::testing::ValuesIn(Delays()),
                         [](const auto& info) { return std::to_string(info.param) + "ms"; });

// ":wit2400" answered 1.5 s late across 150 ms each way: past the pause and the emptying read
// that follow it (the path's extension included), so it meets the mode query. It is refused, and
// the log says how late it came against the path's round trip.
TEST(LatencyLateReply, AReplyPastTheExtendedWaitIsRefusedWithThePathsRoundTrip) {
  Folder folder;
  SimRadio radio(folder.Path(), "r1",
                 {"--preset", "shrike", "--fault", "slow=:wit2400", "--slow-ms", "1500"});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  DelayProxy proxy(server.Port(), 150, 15);
  CliRun run = RunCli({"read", "--port", proxy.Name(), "--json", "--wait", "60"}, {{"", &radio}});
  EXPECT_NE(run.status, 0) << run.out;
  const Texts log = LogTexts(folder.LogPath());
  EXPECT_TRUE(Has(log, "ERROR: RadioCommand error 3"));
  EXPECT_FALSE(Has(log, "Radio settings read OK."));
  const std::regex late(
      R"(ERROR: the radio's reply came (\d+\.\d) s after the command; the path's round trip is )"
      R"((\d+\.\d) s)");
  bool found = false;
  for (const std::string& line : log) {
    std::smatch m;
    if (!std::regex_match(line, m, late)) continue;
    found = true;
    EXPECT_GE(std::stod(m[1]), 1.5) << line;
    EXPECT_GE(std::stod(m[2]), 0.2) << line;
    EXPECT_LE(std::stod(m[2]), 0.6) << line;
  }
  EXPECT_TRUE(found) << ReadAll(folder.LogPath());
  // The report's error carries it too.
  const auto report = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_TRUE(report.is_object()) << run.out;
  ASSERT_TRUE(report["error"].is_string()) << report;
  EXPECT_NE(report["error"].get<std::string>().find("the path's round trip is"), std::string::npos)
      << report;
}

// Holds back what the server sends by 400 ms, and notes which of the COM port option's answers
// to the line settings (data size, parity, stop bits, flow control) it has passed on.
class SettingsAnswers : public DelayHook {
 public:
  SettingsAnswers() : DelayHook(400, 0) {}
  void Passing(bool up, const std::string& bytes) override {
    if (up) return;
    // Telnet IAC SB, option 44, the server's code for each setting.
    for (unsigned char code : {102, 103, 104, 105})
      if (bytes.find(std::string("\xFF\xFA\x2C") + static_cast<char>(code)) != std::string::npos)
        passed_ |= 1u << (code - 102);
  }
  bool AllPassed() const { return passed_ == 0xF; }

 private:
  std::atomic<unsigned> passed_{0};
};

// "Reconnect the cable" is asked only once the server has confirmed the line's settings, so
// that a radio plugged in when asked is heard, however long the path.
TEST(LatencyPrompt, TheCableIsAskedForOnlyOnceTheServerConfirmedTheLine) {
  Folder folder;
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  SettingsAnswers hook;
  Proxy proxy(server.Port(), hook);
  platform::ProcessGroup group;
  ASSERT_GE(group.Start({QELM_CLI_PATH, "read", "--port", proxy.Name(), "--wait", "60"}), 0);
  platform::ProcessGroup::Event ev;
  int asked = 0, status = -1;
  while (group.Next(&ev)) {
    if (ev.kind == platform::ProcessGroup::Event::kEnded) status = ev.status;
    if (ev.kind != platform::ProcessGroup::Event::kErrLine ||
        ev.line.find("Please disconnect, then reconnect the cable") == std::string::npos)
      continue;
    ++asked;
    EXPECT_TRUE(hook.AllPassed()) << "asked before the server's answers were through";
    radio.Replug();
  }
  EXPECT_EQ(status, 0);
  EXPECT_GE(asked, 1);
}

}  // namespace
