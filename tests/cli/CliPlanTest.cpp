// A save's plan and its skipping of a store that would change nothing: the plan's judgement on
// values (registers with no query taken as the derived device entry implies, entries that store
// the same, the handle profile's set), and the program against qelm-radio-sim radios in real
// time, where the truth is the lines each radio heard and the state it stored.
#include <algorithm>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "CliHarness.h"
#include "ReplugOnOpen.h"
#include "cli/CliReport.h"
#include "cli/CliRetry.h"
#include "cli/SavePlan.h"
#include "platform/system/CodePage.h"
#include "radio/RadioTables.h"

using namespace cli_test;
using nlohmann::json;

namespace {

const std::vector<std::string> kNames = {"Vireo A", "Vireo B", "Shrike", "Corax & Tanager"};

// A 2410 radio read as device entry 2 at 115200, link 5, Base.
cli::PlanHeld Swiss() {
  cli::PlanHeld h;
  h.model = radio::kModel2410;
  h.rate = "115200";
  h.held = {{"wb", 1}, {"wn", 5}, {"dx", 0}, {"pe", 6}};
  h.device = 2;
  h.link = 5;
  return h;
}

cli::PlanTarget SaveOf(int mode, int link, int device, const std::string& rate) {
  cli::PlanTarget t;
  t.registers = cli::SaveRegisters(radio::kModel2410, mode, link, device, false, 0, 0);
  t.rate = rate;
  t.device = device;
  return t;
}

TEST(CliPlanPiecesTest, WhatTheRadioHoldsIsNoChangeAndUnreadRegistersAreAssumed) {
  std::vector<std::string> assumed;
  auto changes = cli::PlanChanges(Swiss(), SaveOf(1, 5, 2, "115200"), kNames, &assumed);
  EXPECT_TRUE(changes.empty()) << cli::ChangesText(changes);
  // pn, pw, pr and wu have no answer in this reading: taken as entry 2 implies.
  EXPECT_EQ(assumed, (std::vector<std::string>{"pn", "pw", "pr", "wu"}));

  // A register the reading did answer counts as read, not as implied.
  cli::PlanHeld held = Swiss();
  held.held["pr"] = 0x10;
  changes = cli::PlanChanges(held, SaveOf(1, 5, 2, "115200"), kNames, nullptr);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].setting, "pr");
  EXPECT_EQ(changes[0].from, "16");
  EXPECT_EQ(changes[0].to, "48");
}

TEST(CliPlanPiecesTest, ChangesComeSettingBySettingInTheStoresOrder) {
  auto changes = cli::PlanChanges(Swiss(), SaveOf(0, 7, 1, "19200"), kNames, nullptr);
  EXPECT_EQ(cli::ChangesText(changes),
            "mode Base -> Remote, link 5 -> 7, rate 115200 -> 19200, device 2 Shrike -> 1 Vireo B, "
            "pw 52 -> 48, pr 48 -> 16, dx 0 -> 4");
  EXPECT_FALSE(changes[0].number);
  EXPECT_TRUE(changes[1].number);
}

TEST(CliPlanPiecesTest, EntriesThatStoreTheSameRegistersAreNoChange) {
  cli::PlanHeld us = Swiss();
  us.held["dx"] = 4;
  us.device = 1;
  EXPECT_TRUE(cli::PlanChanges(us, SaveOf(1, 5, 0, "115200"), kNames, nullptr).empty());
}

TEST(CliPlanPiecesTest, TheHandleProfileIsJudgedByItsWholeSet) {
  // A radio the reading recognised as the handle profile: asking for it again changes nothing.
  cli::PlanHeld handle;
  handle.model = radio::kModel2410;
  handle.rate = "115200";
  handle.held = {{"wb", 0}, {"wn", 0}, {"dx", 0}, {"pe", 6}, {"wu", 1}, {"pn", 1}, {"pr", 0x30}};
  handle.device = radio::kHandleDeviceIndex;
  handle.link = 0;
  std::vector<std::string> assumed;
  EXPECT_TRUE(cli::PlanChanges(handle, SaveOf(0, 0, 3, "115200"), kNames, &assumed).empty());
  // All but the registers the handle detection read.
  EXPECT_EQ(assumed, (std::vector<std::string>{"sp", "wd", "wg", "wl", "wp", "pk", "pt", "px", "zb",
                                               "zc", "zp", "zq"}));
  // From entry 2, what the handle set holds beyond the read registers is not known.
  auto changes = cli::PlanChanges(Swiss(), SaveOf(0, 0, 3, "115200"), kNames, nullptr);
  const std::string text = cli::ChangesText(changes);
  EXPECT_NE(text.find("sp ? -> 0"), std::string::npos) << text;
  EXPECT_NE(text.find("device 2 Shrike -> 3 Corax & Tanager"), std::string::npos) << text;
  EXPECT_EQ(text.find("rate"), std::string::npos) << text;
}

TEST(CliPlanPiecesTest, ThePlansRegistersAreTheStoresAndTheResetsOwn) {
  // The handle store's whole set, register by register, with the chosen link.
  const cli::Registers handle =
      cli::SaveRegisters(radio::kModel2410, 1, 9, radio::kHandleDeviceIndex, false, 0, 0);
  const auto sent = radio::HandleProfileRegisters(9);
  ASSERT_EQ(handle.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i)
    EXPECT_EQ(handle[i].first, platform::WideToUtf8(sent[i].command.substr(0, 2))) << i;
  EXPECT_NE(std::find(handle.begin(), handle.end(), std::pair<std::string, long>{"wn", 9}),
            handle.end());
  EXPECT_NE(std::find(handle.begin(), handle.end(), std::pair<std::string, long>{"wd", 0x30}),
            handle.end());
  // A reset starts with the band of its variant; model 2400 then sets its channel access mode.
  const cli::Registers old = cli::ResetRegisters(radio::kModel2400, true, false);
  ASSERT_GE(old.size(), 2u);
  EXPECT_EQ(old[0], (std::pair<std::string, long>{"pe", 1}));
  EXPECT_EQ(old[1], (std::pair<std::string, long>{"wt", 1}));
  EXPECT_EQ(cli::ResetRegisters(radio::kModel2410, false, true).front(),
            (std::pair<std::string, long>{"pe", 6}));
  EXPECT_EQ(cli::ResetRegisters(radio::kModel2410, true, true).back(),
            (std::pair<std::string, long>{"wb", 0}));
}

TEST(CliPlanPiecesTest, AReportsChangesTimesAndLinkComeBackFromItsRecordLine) {
  cli::JobReport r;
  r.job = "save";
  r.port = "/dev/ttyX";
  r.status = 0;
  r.result = "planned";
  r.changes = cli::PlanChanges(Swiss(), SaveOf(0, 7, 2, "19200"), kNames, nullptr);
  r.changes->push_back({"sp", std::nullopt, "0", true});
  r.linkAsked = 7;
  r.started = "2026-12-09T00:41:07+01:00";
  r.ended = "2026-12-09T00:41:09+01:00";
  cli::JobReport back;
  ASSERT_TRUE(cli::ParseRecordLine(cli::RecordLine(r), &back));
  EXPECT_EQ(cli::ReportJson(back), cli::ReportJson(r));
  const json j = json::parse(cli::ReportJson(r));
  EXPECT_EQ(j["changes"][0], (json{{"setting", "mode"}, {"from", "Base"}, {"to", "Remote"}}));
  EXPECT_EQ(j["changes"].back(), (json{{"setting", "sp"}, {"from", nullptr}, {"to", 0}}));
  EXPECT_EQ(j["link_asked"], 7);
  // No plan, no list: null, never an empty list that would say "nothing changed".
  EXPECT_TRUE(json::parse(cli::ReportJson(cli::JobReport{}))["changes"].is_null());
}

class CliPlanTest : public ::testing::Test {
 protected:
  std::string State(const std::string& name) const { return folder.Path() + "/" + name + ".state"; }
  Folder folder;
};

TEST_F(CliPlanTest, APlanSendsOnlyTheReadingsCommandsAndTellsEachChange) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike", "--state", State("r")});
  ReplugOnOpen plug({&radio}, folder.LogPath());
  CliRun run = RunCli({"save", "--port", radio.Port(), "--link", "7", "--new-rate", "19200",
                       "--device", "1", "--plan", "--json", "--wait", "30"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(radio.Lines(), kRead);
  json j = json::parse(run.out);
  EXPECT_EQ(j["result"], "planned");
  EXPECT_EQ(j["stored"], false);
  const json& changes = j["changes"];
  ASSERT_TRUE(changes.is_array());
  ASSERT_GE(changes.size(), 3u);
  EXPECT_EQ(changes[0], (json{{"setting", "link"}, {"from", 5}, {"to", 7}}));
  EXPECT_EQ(changes[1], (json{{"setting", "rate"}, {"from", 115200}, {"to", 19200}}));
  EXPECT_EQ(changes[2]["setting"], "device");
  EXPECT_NE(j["started"].get<std::string>().find('T'), std::string::npos);
  EXPECT_TRUE(Has(LogTexts(folder.LogPath()), "Plan: a save would change link 5 -> 7"));

  // A reset's plan asks nothing and sends nothing either.
  CliRun reset = RunCli({"reset", "--port", radio.Port(), "--plan", "--wait", "30"});
  ASSERT_EQ(reset.status, 0) << reset.out;
  EXPECT_NE(reset.out.find("Result:    planned"), std::string::npos) << reset.out;
  EXPECT_EQ(radio.Lines(), Concat({kRead, kRead}));
}

TEST_F(CliPlanTest, ASaveOfWhatTheRadioHoldsStoresNothingUnlessAlwaysStore) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike", "--state", State("r")});
  ReplugOnOpen plug({&radio}, folder.LogPath());
  CliRun same = RunCli({"save", "--port", radio.Port(), "--link", "5", "--mode", "base", "--device",
                        "2", "--json", "--wait", "30"});
  ASSERT_EQ(same.status, 0) << same.out;
  EXPECT_EQ(json::parse(same.out)["result"], "unchanged");
  EXPECT_EQ(json::parse(same.out)["changes"], json::array());
  EXPECT_EQ(radio.Lines(), kRead);
  EXPECT_TRUE(Has(LogTexts(folder.LogPath()),
                  "Settings unchanged: the radio already holds them; nothing stored."));

  CliRun forced = RunCli(
      {"save", "--port", radio.Port(), "--link", "5", "--always-store", "--json", "--wait", "30"});
  ASSERT_EQ(forced.status, 0) << forced.out;
  EXPECT_EQ(json::parse(forced.out)["result"], "done");
  radio.WaitPortClosed();
  const Texts heard = radio.Lines();
  EXPECT_NE(std::find(heard.begin(), heard.end(), "m>"), heard.end());

  // A change of one register stores, and the report names the change.
  CliRun changed =
      RunCli({"save", "--port", radio.Port(), "--link", "6", "--json", "--wait", "30"});
  ASSERT_EQ(changed.status, 0) << changed.out;
  json j = json::parse(changed.out);
  EXPECT_EQ(j["result"], "done");
  EXPECT_EQ(j["changes"], (json::array({{{"setting", "link"}, {"from", 5}, {"to", 6}}})));
  const std::string state = StateHolding(State("r"), "wn=06");
  EXPECT_NE(state.find("wn=06"), std::string::npos) << state;
}

TEST_F(CliPlanTest, AFleetsPlanShowsEachPortsChangesUnderItsLine) {
  SimRadio a(folder.Path(), "a", {"--preset", "shrike"});
  SimRadio b(folder.Path(), "b", {"--preset", "vireo-us"});
  ReplugOnOpen plug({&a, &b}, folder.LogPath());
  CliRun run = RunCli({"fleet", "--ports", a.Port() + "," + b.Port(), "--wait", "30", "--quiet",
                       "--", "save", "--link", "3", "--plan"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("    changes: link 5 -> 3\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("    changes: none\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("by result: 2 planned"), std::string::npos) << run.out;
  EXPECT_EQ(a.Lines(), kRead);
  EXPECT_EQ(b.Lines(), kRead);
}

TEST_F(CliPlanTest, PlanWithVerifyOrAlwaysStoreIsBadUsage) {
  EXPECT_EQ(RunCli({"save", "--port", "COM1", "--plan", "--verify"}).status, 64);
  EXPECT_EQ(RunCli({"save", "--port", "COM1", "--plan", "--always-store"}).status, 64);
}

}  // namespace

namespace {

TEST(CliRetryPiecesTest, TheFailedPortsOfAReportKeepTheirOrderAndTheirLinks) {
  const std::string jsonl =
      "{\"port\":\"/dev/ttyA\",\"result\":\"done\",\"link_asked\":1}\n"
      "{\"port\":\"/dev/ttyB\",\"result\":\"failed\",\"link_asked\":9}\n"
      "{\"port\":\"/dev/ttyC\",\"result\":\"port not opened\",\"link_asked\":null}\n"
      "{\"port\":\"/dev/ttyD\",\"result\":\"unchanged\"}\n"
      "{\"port\":\"/dev/ttyE\",\"result\":\"planned\"}\n"
      "{\"summary\":true,\"ports\":5}\n";
  std::vector<cli::FleetPort> ports;
  std::string error;
  ASSERT_TRUE(cli::FailedPortsOf(jsonl, false, "r", &ports, &error)) << error;
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].port, u"/dev/ttyB");
  EXPECT_EQ(ports[0].link, 9);
  EXPECT_EQ(ports[1].port, u"/dev/ttyC");
  EXPECT_FALSE(ports[1].link);

  // The CSV the fleet writes: quoted fields, a formula-looking one shown behind a quote.
  const std::string csv =
      "port,job,result,note,link_asked\r\n"
      "/dev/ttyA,save,done,\"a, b\",\r\n"
      "/dev/ttyB,save,stopped,\"said \"\"no\"\"\",3\r\n";
  ASSERT_TRUE(cli::FailedPortsOf(csv, true, "r", &ports, &error)) << error;
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].port, u"/dev/ttyB");
  EXPECT_EQ(ports[0].link, 3);

  // A port that failed and then ended well counts by its last line.
  ASSERT_TRUE(
      cli::FailedPortsOf("{\"port\":\"/dev/ttyA\",\"result\":\"failed\"}\n"
                         "{\"port\":\"/dev/ttyA\",\"result\":\"done\"}\n",
                         false, "r", &ports, &error));
  EXPECT_TRUE(ports.empty());
  EXPECT_FALSE(cli::FailedPortsOf("not json\n", false, "r", &ports, &error));
  EXPECT_FALSE(cli::FailedPortsOf("a,b\r\n1,2\r\n", true, "r", &ports, &error));
}

TEST_F(CliPlanTest, ARetryRunsOnlyTheRadioThatFailedWithItsOwnLink) {
  std::vector<std::unique_ptr<SimRadio>> radios;
  std::map<std::string, SimRadio*> replug;
  const std::string portsFile = folder.Path() + "/ports";
  std::ofstream ports(portsFile);
  for (int i = 0; i < 3; ++i) {
    const std::string name = "q" + std::to_string(i);
    radios.push_back(std::make_unique<SimRadio>(
        folder.Path(), name, Texts{"--preset", "shrike", "--state", State(name)}));
    // The third radio is silent: nobody reconnects its cable.
    if (i < 2) replug[radios.back()->Port()] = radios.back().get();
    ports << radios.back()->Port() << " " << 7 + i << "\n";
  }
  ports.close();
  const std::string report = folder.Path() + "/first.jsonl";
  CliRun first = RunCli({"fleet", "--ports-file", portsFile, "--wait", "15", "--report", report,
                         "--", "save", "--mode", "base"},
                        replug);
  EXPECT_EQ(first.status, 1) << first.out;
  ASSERT_NE(StateHolding(State("q0"), "wn=07").find("wn=07"), std::string::npos);
  ASSERT_EQ(ReadAll(State("q2")).find("wn=09"), std::string::npos);
  const size_t heard0 = radios[0]->Lines().size(), heard1 = radios[1]->Lines().size();

  // The radio is mended (its cable is reconnected now); only it hears the retry.
  replug[radios[2]->Port()] = radios[2].get();
  const std::string second = folder.Path() + "/second.csv";
  CliRun retry = RunCli({"fleet", "--retry-failed", report, "--wait", "30", "--report", second,
                         "--json", "--", "save", "--mode", "base"},
                        replug);
  ASSERT_EQ(retry.status, 0) << retry.out;
  EXPECT_EQ(radios[0]->Lines().size(), heard0);
  EXPECT_EQ(radios[1]->Lines().size(), heard1);
  const std::string mended = StateHolding(State("q2"), "wn=09");
  EXPECT_NE(mended.find("wn=09"), std::string::npos) << mended;
  std::istringstream lines(retry.out);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  json j = json::parse(line);
  EXPECT_EQ(j["port"], radios[2]->Port());
  EXPECT_EQ(j["result"], "done");
  EXPECT_EQ(j["link_asked"], 9);

  // Nothing failed in the retry: a third run has nothing to do, and says so in one line.
  CliRun none = RunCli({"fleet", "--retry-failed", second, "--", "save"});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(std::count(none.out.begin(), none.out.end(), '\n'), 1) << none.out;
  EXPECT_NE(none.out.find("names no failed port"), std::string::npos) << none.out;
}

}  // namespace
