// What qelm-cli reports against what the radio stand-ins hold, in real time on
// pseudo-terminals: the reset question cancelled by a signal, a register unanswered after the
// rate switch, a second signal after the rate command, a fleet killed outright in flight, a
// fleet's own run log that a later run leaves alone, the summary of an early Ctrl+C, and a
// report on a full file system. Each radio's truth is its state file and the lines it heard.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "AsyncCli.h"
#include "ReplugOnOpen.h"

using namespace cli_test;
using nlohmann::json;

namespace {

constexpr int kStepMs = 60000;

std::vector<json> JsonLines(const std::string& text) {
  std::vector<json> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    json j = json::parse(l, nullptr, false);
    if (j.is_object()) out.push_back(j);
  }
  return out;
}

json ForPort(const std::vector<json>& lines, const std::string& port) {
  for (const json& j : lines)
    if (j.value("port", "") == port) return j;
  return json();
}

int Count(const Texts& lines, const std::string& text) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(text) != std::string::npos;
  }));
}

class CliTruthTest : public ::testing::Test {
 protected:
  std::string State(const std::string& name) const { return folder.Path() + "/" + name + ".state"; }
  Folder folder;
};

// qelm-cli on a pseudo-terminal of its own, as a person at a terminal runs it: the question
// is asked there, and a signal comes while it waits for the answer.
TEST_F(CliTruthTest, ACtrlCAtTheResetQuestionCancelsTheReset) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SimRadio radio(folder.Path(), "r" + std::to_string(signal), {"--preset", "vireo-us"});
    ReplugOnOpen plug({&radio}, folder.LogPath());
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      execl(QELM_CLI_PATH, QELM_CLI_PATH, "reset", "--port", radio.Port().c_str(), "--json",
            "--wait", "30", static_cast<char*>(nullptr));
      _exit(127);
    }
    std::string seen;
    const bool asked = WaitFor(
        [&] {
          pollfd p{master, POLLIN, 0};
          char buf[512];
          while (::poll(&p, 1, 0) > 0) {
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            seen.append(buf, n);
          }
          return seen.find("[y/N]") != std::string::npos;
        },
        kStepMs);
    ASSERT_TRUE(asked) << seen;
    kill(pid, signal);
    int raw = 0;
    // Bounded: a question the signal did not end would wait for ever.
    ASSERT_TRUE(WaitFor([&] { return waitpid(pid, &raw, WNOHANG) == pid; }, kStepMs)) << seen;
    char buf[4096];
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) seen.append(buf, n);
    ::close(master);
    EXPECT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 128 + signal) << seen;
    const size_t brace = seen.find("{\"job\"");
    ASSERT_NE(brace, std::string::npos) << seen;
    json report = json::parse(seen.substr(brace, seen.find('\n', brace) - brace), nullptr, false);
    EXPECT_EQ(report["phase"], "not started") << seen;
    EXPECT_EQ(report["stored"], false);
    // Nothing was sent after the reading.
    EXPECT_EQ(radio.Lines(), kRead);
  }
}

TEST_F(CliTruthTest, ARegisterUnansweredAfterTheRateSwitchStillStoresAndSaysSo) {
  SimRadio radio(folder.Path(), "r",
                 {"--preset", "shrike", "--state", State("r"), "--fault", "no-prompt=pw34"});
  CliRun run = RunCli({"save", "--port", radio.Port(), "--link", "8", "--new-rate", "19200",
                       "--json", "--wait", "30"},
                      {{"", &radio}});
  EXPECT_EQ(run.status, 1);
  json r = json::parse(run.out, nullptr, false);
  ASSERT_TRUE(r.is_object()) << run.out;
  EXPECT_EQ(r["stored"], true);
  EXPECT_EQ(r["phase"], "stored");
  EXPECT_EQ(r["rate"], 19200);
  EXPECT_EQ(r["failed"], json::array({"pw"}));
  // The radio stored the link and the new rate, as the report says.
  const std::string state = StateHolding(State("r"), "baud=19200");
  EXPECT_NE(state.find("wn=08"), std::string::npos) << state;
  EXPECT_NE(state.find("baud=19200"), std::string::npos) << state;
  EXPECT_TRUE(Has(LogTexts(folder.LogPath()),
                  "Result: failed, stored; store command sent, stored: yes; answers at 19200; "
                  "failed: pw"));
}

TEST_F(CliTruthTest, AFleetKilledOutrightLeavesEveryPortsOutcomeBehind) {
  std::vector<std::unique_ptr<SimRadio>> radios;
  std::string ports;
  for (int i = 0; i < 8; ++i) {
    radios.push_back(std::make_unique<SimRadio>(
        folder.Path(), "k" + std::to_string(i),
        Texts{"--preset", "shrike", "--state", State("k" + std::to_string(i))}));
    ports += (i ? "," : "") + radios.back()->Port();
  }
  std::vector<SimRadio*> all;
  for (auto& r : radios) all.push_back(r.get());
  ReplugOnOpen plug(all, folder.LogPath());
  const std::string report = folder.Path() + "/fleet.jsonl";
  AsyncCli cli({"fleet", "--ports", ports, "--wait", "60", "--report", report, "--", "save",
                "--link", "7", "--new-rate", "57600"});
  // Every port is in its store when the fleet is killed.
  ASSERT_TRUE(WaitFor(
      [&] {
        Texts log = LogTexts(folder.LogPath());
        for (auto& r : radios)
          if (!Has(log, "[" + r->Port() + "] OnSave")) return false;
        return true;
      },
      kStepMs));
  kill(cli.Pid(), SIGKILL);
  ASSERT_TRUE(WaitFor([&] { return JsonLines(ReadAll(report)).size() == 8; }, kStepMs))
      << ReadAll(report);
  const std::vector<json> lines = JsonLines(ReadAll(report));
  const Texts log = LogTexts(folder.LogPath());
  for (auto& r : radios) {
    const json o = ForPort(lines, r->Port());
    const std::string state =
        StateHolding(State("k" + std::to_string(&r - &radios[0])), "baud=57600");
    // What the report claims, the radio holds.
    EXPECT_EQ(o["stored"], true) << o;
    EXPECT_EQ(o["rate"], 57600) << o;
    EXPECT_NE(state.find("wn=07"), std::string::npos) << r->Port() << state;
    EXPECT_NE(state.find("baud=57600"), std::string::npos) << r->Port() << state;
    EXPECT_EQ(Count(log, "[" + r->Port() + "] Result: "), 1) << r->Port();
  }
}

TEST_F(CliTruthTest, AFleetKeepsItsWholeRunInALogOfItsOwnThatALaterReadLeavesAlone) {
  std::vector<std::unique_ptr<SimRadio>> radios;
  std::string ports;
  for (int i = 0; i < 12; ++i) {
    radios.push_back(std::make_unique<SimRadio>(folder.Path(), "f" + std::to_string(i),
                                                Texts{"--preset", "shrike"}));
    ports += (i ? "," : "") + radios.back()->Port();
  }
  std::vector<SimRadio*> all;
  for (auto& r : radios) all.push_back(r.get());
  ReplugOnOpen plug(all, folder.LogPath());
  // Older run logs beyond the bound: the oldest go first.
  const std::string runs = folder.Path() + "/data/runs";
  std::filesystem::create_directories(runs);
  for (int day = 1; day <= 25; ++day) {
    char name[64];
    std::snprintf(name, sizeof name, "/fleet-2020-01-%02d_10-00-00.log", day);
    std::ofstream(runs + name) << "old\r\n";
  }
  CliRun run = RunCli({"fleet", "--ports", ports, "--json", "--", "read"});
  ASSERT_EQ(run.status, 0) << run.out;
  size_t kept = 0;
  for (const auto& e : std::filesystem::directory_iterator(runs))
    kept += e.path().filename().string().rfind("fleet-", 0) == 0;
  EXPECT_EQ(kept, 20u);
  EXPECT_FALSE(std::filesystem::exists(runs + "/fleet-2020-01-06_10-00-00.log"));
  EXPECT_TRUE(std::filesystem::exists(runs + "/fleet-2020-01-07_10-00-00.log"));
  const json summary = JsonLines(run.out).back();
  ASSERT_TRUE(summary["run_log"].is_string()) << summary;
  const std::string runLog = summary["run_log"];
  EXPECT_EQ(runLog.rfind(folder.Path() + "/data/runs/fleet-", 0), 0u) << runLog;
  const Texts before = LogTexts(runLog);
  EXPECT_TRUE(Has(before, "Command line: fleet --ports"));
  for (auto& r : radios) EXPECT_EQ(Count(before, "[" + r->Port() + "] Result: done"), 1);

  // A later single read trims the shared log to its bound; the run log stays whole.
  CliRun read = RunCli({"read", "--port", radios[0]->Port(), "--wait", "30"});
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(LogTexts(runLog), before);
  EXPECT_LE(LogTexts(folder.LogPath()).size(), 500u + 60u);
}

TEST_F(CliTruthTest, TheSummaryOfAnEarlyCtrlCAddsUp) {
  std::vector<std::unique_ptr<SimRadio>> radios;  // nobody replugs them: no store starts
  std::string ports;
  for (int i = 0; i < 6; ++i) {
    radios.push_back(std::make_unique<SimRadio>(folder.Path(), "e" + std::to_string(i),
                                                Texts{"--preset", "shrike"}));
    ports += (i ? "," : "") + radios.back()->Port();
  }
  AsyncCli cli({"fleet", "--ports", ports, "--jobs", "2", "--json", "--", "save", "--link", "3"});
  ASSERT_TRUE(WaitFor([&] { return ReplugRequests(cli.Err(), radios[1]->Port()) >= 1; }, kStepMs));
  kill(cli.Pid(), SIGINT);
  ASSERT_TRUE(WaitFor([&] { return cli.Ended(); }, kStepMs));
  EXPECT_EQ(cli.Status(), 130);
  std::vector<json> lines = JsonLines(cli.Out());
  ASSERT_EQ(lines.size(), 7u) << cli.Out();
  const json summary = lines.back();
  int stopped = 0, notStarted = 0;
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(lines[i]["phase"], "not started") << lines[i];
    EXPECT_EQ(lines[i]["status"], 130) << lines[i];
    EXPECT_EQ(lines[i]["stored"], false) << lines[i];
    stopped += lines[i]["result"] == "stopped";
    notStarted += lines[i]["result"] == "not started";
    // An error is an error, never a log line of another kind.
    if (lines[i]["error"].is_string()) {
      EXPECT_EQ(lines[i]["error"].get<std::string>().find("Change Mode"), std::string::npos);
    }
  }
  EXPECT_EQ(stopped, 2);
  EXPECT_EQ(notStarted, 4);
  EXPECT_EQ(summary["stopped"], stopped);
  EXPECT_EQ(summary["not_started"], notStarted);
  EXPECT_EQ(summary["done"], 0);
  EXPECT_EQ(summary["failed"], 0);
  EXPECT_EQ(summary["worst"], 130);
  EXPECT_EQ(summary["status"], 130);
  for (auto& r : radios) EXPECT_TRUE(r->Lines().empty());
}

TEST_F(CliTruthTest, AWronglyTypedProfileValueIsRefusedBeforeAnyPortIsOpened) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike", "--state", State("r")});
  const std::string profile = folder.Path() + "/profile.json";
  const std::pair<const char*, const char*> cases[] = {
      {"{\"link\":\"7\",\"rate\":57600}", "link"},
      {"{\"link\":7.9}", "link"},
      {"{\"link\":1e30}", "link"},
      {"{\"link\":7,\"rate\":\"57600\"}", "rate"},
      {"{\"link\":7,\"colour\":\"red\"}", "colour"}};
  for (const auto& [text, key] : cases) {
    std::ofstream(profile, std::ios::trunc) << text;
    CliRun run = RunCli({"save", "--port", radio.Port(), "--profile", profile});
    EXPECT_EQ(run.status, 64) << text;
    EXPECT_TRUE(Has(run.err, std::string("\"") + key + "\"")) << text;
  }
  EXPECT_FALSE(radio.WasOpened());
  EXPECT_TRUE(radio.Lines().empty());
}

TEST_F(CliTruthTest, AReportOnAFullFileSystemFailsTheRun) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike"});
  ReplugOnOpen plug({&radio}, folder.LogPath());
  const std::string full = folder.Path() + "/full.jsonl";
  std::filesystem::create_symlink("/dev/full", full);
  CliRun one = RunCli({"read", "--port", radio.Port(), "--report", full, "--wait", "30"});
  EXPECT_EQ(one.status, 1);
  EXPECT_TRUE(Has(one.err, "the report could not be written")) << one.out;
  CliRun fleet = RunCli({"fleet", "--ports", radio.Port(), "--report", full, "--", "read"});
  EXPECT_EQ(fleet.status, 1);
  EXPECT_TRUE(Has(fleet.err, "could not be written")) << fleet.out;
  // A FIFO nobody reads is refused at once, before the radio, never waited on.
  const std::string fifo = folder.Path() + "/fifo.jsonl";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const Texts& args :
       {Texts{"read", "--port", radio.Port(), "--report", fifo},
        Texts{"fleet", "--ports", radio.Port(), "--report", fifo, "--", "read"}}) {
    CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "cannot write the report")) << args[0];
  }
}

}  // namespace
