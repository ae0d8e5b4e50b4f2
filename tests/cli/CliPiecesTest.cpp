// The pieces of qelm-cli that need no radio: the command line and its refusals, the JSON that
// profiles and fleet records are read from, the verify's comparison, the record line's round
// trip and the report's CSV.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/CliVerify.h"
#include "cli/JsonText.h"
#include "radio/StoreProgress.h"

namespace {

bool Parse(std::vector<std::string> words, cli::CliOptions* o, std::string* error) {
  words.insert(words.begin(), "qelm-cli");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  return cli::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), o, error);
}

TEST(CliCommandLine, HelpIsACommandAndAnOptionOfEveryCommand) {
  cli::CliOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"help", "reset"}, &o, &error));
  EXPECT_EQ(o.job, cli::Job::kHelp);
  EXPECT_EQ(o.command, "reset");
  ASSERT_TRUE(Parse({"read", "--rate", "9600", "-h"}, &o, &error));
  EXPECT_EQ(o.job, cli::Job::kHelp);
  EXPECT_EQ(o.command, "read");
  EXPECT_FALSE(Parse({"help", "fetch"}, &o, &error));
}

TEST(CliCommandLine, FleetTakesJobsJsonAndAReportAndPassesTheRestToItsJob) {
  cli::CliOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"fleet", "--ports", "COM1,COM2", "--jobs", "5", "--report", "r.csv", "--",
                     "save", "--link", "3", "--json"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.jobs, 5);
  EXPECT_EQ(o.report, "r.csv");
  EXPECT_TRUE(o.json);  // the job's --json asks for the fleet's JSON Lines
  EXPECT_EQ(o.jobArgs, (std::vector<std::string>{"--link", "3"}));
  ASSERT_TRUE(Parse({"fleet", "--ports", "COM1", "--", "read"}, &o, &error));
  EXPECT_EQ(o.jobs, cli::kDefaultJobs);
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"fleet", "--ports", "COM1", "--jobs", "0", "--", "read"},
           {"fleet", "--ports", "COM1", "--jobs", "1025", "--", "read"},
           {"fleet", "--ports", "COM1,com1", "--", "read"},
           {"fleet", "--ports", "COM1", "--", "read", "--report", "x.csv"},
           {"read", "--port", "COM1", "--report", "x.txt"}})
    EXPECT_FALSE(Parse(bad, &o, &error)) << bad[bad.size() - 1];
}

TEST(CliCommandLine, APortsFileGivesPortsWithOrWithoutTheirLink) {
  char dir[] = "/tmp/qelm-cli-pieces-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/rack";
  std::ofstream(file) << "# rack 1\nCOM1 4\n  COM2   # spare\n\nCOM3 15\n";
  cli::CliOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"fleet", "--ports-file", file, "--", "save"}, &o, &error)) << error;
  ASSERT_EQ(o.ports.size(), 3u);
  EXPECT_EQ(o.ports[0].link, 4);
  EXPECT_FALSE(o.ports[1].link.has_value());
  EXPECT_EQ(o.ports[2].link, 15);
  for (const char* bad : {"COM1 16\n", "COM1 4 5\n", "COM1 x\n"}) {
    std::ofstream(file) << bad;
    EXPECT_FALSE(Parse({"fleet", "--ports-file", file, "--", "save"}, &o, &error)) << bad;
  }
  std::filesystem::remove_all(dir);
}

TEST(CliJson, ReadsOneObjectAndRefusesDuplicatesDepthAndTheRest) {
  nlohmann::json v;
  std::string error;
  ASSERT_TRUE(cli::ParseJsonObject(
      "{\"a\":1,\"s\":\"x\\u00e9\\n\\\"\",\"n\":null,\"b\":[true,false],\"o\":{\"k\":-2.5}}\n", &v,
      &error))
      << error;
  EXPECT_EQ(v["a"], 1);
  EXPECT_EQ(v["s"], "x\xc3\xa9\n\"");
  // The same key in two different objects is no duplicate.
  EXPECT_TRUE(cli::ParseJsonObject("{\"k\":1,\"o\":{\"k\":2}}", &v, &error)) << error;
  EXPECT_FALSE(cli::ParseJsonObject("{\"link\":1,\"link\":2}", &v, &error));
  EXPECT_NE(error.find("\"link\" appears twice"), std::string::npos) << error;
  EXPECT_FALSE(cli::ParseJsonObject("{\"o\":{\"k\":1,\"k\":1}}", &v, &error));
  for (const char* bad :
       {"", "{", "{\"a\":1} x", "{\"a\":01x}", "[1]", "\"\\q\"", "{\"a\":\"\x01\"}", "5"})
    EXPECT_FALSE(cli::ParseJsonObject(bad, &v, &error)) << bad;
  std::string deep = "{\"a\":" + std::string(40, '[');
  EXPECT_FALSE(cli::ParseJsonObject(deep + std::string(40, ']') + "}", &v, &error));
}

TEST(CliVerify, ComparesRegistersNotTheEntryTheyAreReadAs) {
  cli::VerifyInput in;
  in.sent = {{"wb", 0}, {"wn", 5}, {"pn", 1}, {"pw", 0x34}, {"pr", 0x30}, {"wu", 1}, {"dx", 0}};
  // Read back at 115200, these read as the handle profile: the same registers, so it passes.
  in.held = {{"wb", 0}, {"wn", 5}, {"dx", 0}, {"pe", 6}, {"wu", 1}, {"pn", 1}, {"pr", 0x30}};
  in.rateStored = in.rateNow = "115200";
  EXPECT_EQ(cli::VerifyDifferences(in), "");
  in.held["wn"] = 4;
  in.held["wb"] = 1;
  in.rateNow = "9600";
  EXPECT_EQ(cli::VerifyDifferences(in),
            "rate 9600, not 115200, mode Base, not Remote, link 4, not 5");
  EXPECT_TRUE(cli::NotVerifiable(in) == std::vector<std::string>{"pw"});
  // Read without the handle detection, the profile's conditional registers cannot be compared.
  in.held = {{"wb", 0}, {"wn", 5}, {"dx", 0}, {"pe", 6}};
  EXPECT_TRUE(cli::NotVerifiable(in) == (std::vector<std::string>{"pn", "pr", "pw", "wu"}));
}

TEST(CliReport, ARecordLineGivesBackTheReportAndUnknownsStayUnknown) {
  cli::JobReport r;
  r.job = "save";
  r.port = "/dev/ttyUSB0";
  r.status = 1;
  r.result = "failed";
  r.phase = "interrupted";
  r.error = "tab\there, \"quoted\"";
  r.rate = "19200";
  r.stored = false;
  r.storeJob = true;
  r.failed = {"pr", "dx"};
  cli::JobReport back;
  ASSERT_TRUE(cli::ParseRecordLine(cli::RecordLine(r), &back));
  EXPECT_EQ(back.phase, "interrupted");
  EXPECT_EQ(back.error, r.error);
  EXPECT_EQ(back.rate, "19200");
  EXPECT_EQ(back.stored, false);
  EXPECT_EQ(back.failed, r.failed);
  EXPECT_FALSE(back.haveSettings);
  EXPECT_FALSE(back.verified.has_value());
  const std::string json = cli::ReportJson(r);
  for (const char* key : {"\"model\":null", "\"device\":null", "\"link\":null", "\"verified\":null",
                          "\"failed\":[\"pr\",\"dx\"]"})
    EXPECT_NE(json.find(key), std::string::npos) << key;
  // Quoted as CSV wants, and with its control character shown, not kept.
  EXPECT_EQ(cli::ReportCsv(r).find("\"tab^Ihere, \"\"quoted\"\"\""), cli::ReportCsv(r).find('"'));
  EXPECT_FALSE(cli::ParseRecordLine("QELM-FLEET-RECORD {\"port\":\"x\"}", &back));
  // Stored unknown stays unknown: null, "unknown" in text and CSV.
  r.stored.reset();
  EXPECT_NE(cli::ReportJson(r).find("\"stored\":null"), std::string::npos);
  EXPECT_NE(cli::ReportText(r).find("Stored:    unknown"), std::string::npos);
  EXPECT_NE(cli::ReportCsv(r).find(",unknown,pr dx,"), std::string::npos) << cli::ReportCsv(r);
  // What reaches a terminal holds no control character, in any of the forms.
  r.port = "/dev/x\x1b]0;title\x07\xc2\x9b";
  for (const std::string& out : {cli::ReportJson(r), cli::ReportText(r)})
    for (char c : out) EXPECT_FALSE(c == '\x1b' || c == '\x07') << out;
}

TEST(CliReport, TheResultLogLineSaysWhatWasSentAndWhatTheRadioHolds) {
  cli::JobReport r;
  r.job = "save";
  r.storeJob = true;
  r.result = "failed";
  r.phase = "stored";
  r.stored = true;
  r.rate = "19200";
  r.failed = {"pw"};
  EXPECT_EQ(
      cli::ResultLogLine(r),
      "Result: failed, stored; store command sent, stored: yes; answers at 19200; failed: pw");
  r.stored = false;
  r.rate = "";
  r.failed.clear();
  r.phase = "started";
  r.result = "connection lost";
  EXPECT_EQ(cli::ResultLogLine(r),
            "Result: connection lost, started; store command not sent; answers at an unknown rate");
}

}  // namespace

namespace {

// A profile written to a file and given to "save --profile": whether it is taken, and why not.
struct ProfileCase {
  std::string json;
  std::string key;  // named in the refusal; empty for a profile that is taken
};

TEST(CliProfile, TakesExactTypesAndRefusesEverythingElseByName) {
  char dir[] = "/tmp/qelm-cli-profile-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/p.json";
  const std::string good =
      "\"job\":\"read\",\"port\":\"COM1\",\"status\":0,\"result\":\"done\",\"phase\":\"read\","
      "\"model\":2410,\"firmware\":\"5.4\",\"stored\":null,\"verified\":null,\"note\":null,"
      "\"error\":null,\"seconds\":1.5,\"started\":\"x\",\"path_ms\":3";
  const std::vector<ProfileCase> cases = {
      {"{" + good + ",\"link\":7,\"rate\":57600,\"mode\":\"Base\"}", ""},
      {"\xEF\xBB\xBF{\"link\":7}", ""},
      {"{\"link\":\"7\"}", "link"},
      {"{\"link\":7.9}", "link"},
      {"{\"link\":7.0}", "link"},
      {"{\"link\":1e30}", "link"},
      {"{\"link\":16}", "link"},
      {"{\"link\":-1}", "link"},
      {"{\"rate\":\"57600\",\"link\":3}", "rate"},
      {"{\"rate\":12345}", "rate"},
      {"{\"mode\":\"base\"}", "mode"},
      {"{\"mode\":1}", "mode"},
      {"{\"device\":{\"number\":2}}", "device.name"},
      {"{\"device\":{\"number\":2,\"name\":\"Nobody\"}}", "device.name"},
      {"{\"device\":{\"number\":9,\"name\":\"Vireo B & Shrike\"}}", "device.number"},
      {"{\"device\":{\"number\":2,\"name\":\"Vireo B & Shrike\",\"x\":1}}", "device.x"},
      {"{\"lnik\":7}", "lnik"},
      {"{\"link\":7,\"link\":8}", "link"},
      {"{\"summary\":true,\"ports\":3,\"done\":3,\"failed\":0,\"not_started\":0,\"worst\":0,"
       "\"status\":0,\"signal\":null,\"seconds\":1.0}",
       "summary"},
      {"{\"status\":1,\"link\":3}", "status"},
      {"{\"status\":\"0\"}", "status"},
      {"[1]", ""},
  };
  for (const ProfileCase& c : cases) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.json;
    cli::CliOptions o;
    std::string error;
    const bool taken = Parse({"save", "--port", "COM1", "--profile", file}, &o, &error);
    if (c.key.empty() && c.json != "[1]") {
      EXPECT_TRUE(taken) << c.json << ": " << error;
      continue;
    }
    EXPECT_FALSE(taken) << c.json;
    if (!c.key.empty()) {
      EXPECT_NE(error.find("\"" + c.key + "\""), std::string::npos) << error;
    }
  }
  // Band and power are settings only with --service; then with their exact values.
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      << "{\"model\":2410,\"band\":{\"value\":3,\"name\":\"x\"},\"power\":{\"value\":1,\"name\":"
         "\"High\"}}";
  cli::CliOptions o;
  std::string error;
  EXPECT_TRUE(Parse({"save", "--port", "COM1", "--profile", file}, &o, &error)) << error;
  EXPECT_FALSE(Parse({"save", "--port", "COM1", "--service", "--profile", file}, &o, &error));
  EXPECT_NE(error.find("\"band.value\""), std::string::npos) << error;
  std::filesystem::remove_all(dir);
}

TEST(CliInput, FilesAreBoundedRegularUtf8AndShownEscaped) {
  char dir[] = "/tmp/qelm-cli-input-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string base = dir;
  cli::CliOptions o;
  std::string error;
  // A byte-order mark is skipped.
  std::ofstream(base + "/bom", std::ios::binary) << "\xEF\xBB\xBF"
                                                    "COM1 4\nCOM2\n";
  ASSERT_TRUE(Parse({"fleet", "--ports-file", base + "/bom", "--", "read"}, &o, &error)) << error;
  EXPECT_EQ(o.ports.size(), 2u);
  // A FIFO is refused at once, never waited on; so is a folder.
  ASSERT_EQ(mkfifo((base + "/fifo").c_str(), 0600), 0);
  for (const std::string& path : {base + "/fifo", base}) {
    EXPECT_FALSE(Parse({"fleet", "--ports-file", path, "--", "read"}, &o, &error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"save", "--port", "COM1", "--profile", path}, &o, &error));
  }
  // More than the bound: refused, and the message does not carry the file.
  std::ofstream(base + "/junk", std::ios::binary) << std::string(2 << 20, 'x');
  EXPECT_FALSE(Parse({"fleet", "--ports-file", base + "/junk", "--", "read"}, &o, &error));
  EXPECT_NE(error.find("larger than"), std::string::npos);
  EXPECT_LT(error.size(), 300u);
  std::ofstream(base + "/long", std::ios::binary) << std::string(5000, 'x') << "\n";
  EXPECT_FALSE(Parse({"fleet", "--ports-file", base + "/long", "--", "read"}, &o, &error));
  EXPECT_LT(error.size(), 400u);
  // Not UTF-8.
  std::ofstream(base + "/latin", std::ios::binary) << "/dev/tty\xE9\n";
  EXPECT_FALSE(Parse({"fleet", "--ports-file", base + "/latin", "--", "read"}, &o, &error));
  EXPECT_NE(error.find("not UTF-8"), std::string::npos) << error;
  // A name that would set the terminal's title is refused, and shown without its escapes.
  std::ofstream(base + "/esc", std::ios::binary) << "/dev/x\x1b]0;owned\x07\n";
  EXPECT_FALSE(Parse({"fleet", "--ports-file", base + "/esc", "--", "read"}, &o, &error));
  EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
  EXPECT_EQ(error.find('\x07'), std::string::npos) << error;
  EXPECT_NE(error.find("control characters"), std::string::npos) << error;
  std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

TEST(CliReport, AnInterruptedRateSwitchIsToldAsTheRestartedRadioWillAnswer) {
  radio::StoreProgress p;
  p.Begin("115200");
  EXPECT_EQ(cli::RecoveryHint("COM1", p.Get()), "");  // nothing sent at a new rate
  p.RateSent("19200");
  // Not confirmed: either rate now; restarted, the stored one and what it held.
  std::string hint = cli::RecoveryHint("COM1", p.Get());
  EXPECT_NE(hint.find("answers at 19200 (or still 115200) until it restarts"), std::string::npos)
      << hint;
  EXPECT_NE(hint.find("'qelm-cli read --port COM1 --rate 115200'"), std::string::npos) << hint;
  p.RateConfirmed();
  hint = cli::RecoveryHint("COM1", p.Get());
  EXPECT_NE(hint.find("answers at 19200 until"), std::string::npos) << hint;
  EXPECT_NE(hint.find("restarted, it answers at 115200 with the settings it held before"),
            std::string::npos)
      << hint;
  // The store command went out unconfirmed: restarted, it answers at whichever it stored.
  p.StoreSent();
  hint = cli::RecoveryHint("COM1", p.Get());
  EXPECT_NE(hint.find("at 19200 if it took the store and at 115200"), std::string::npos) << hint;
  EXPECT_NE(hint.find("'qelm-cli read --port COM1 --rate 19200' shows which"), std::string::npos)
      << hint;
  p.Confirmed();
  EXPECT_EQ(cli::RecoveryHint("COM1", p.Get()), "");
}

TEST(StoreProgress, StoredAndTheRateFollowOnlyWhatTheLineConfirmed) {
  radio::StoreProgress p;
  EXPECT_FALSE(p.Get().begun);
  p.Begin("115200");
  EXPECT_EQ(p.Get().Stored(), false);
  EXPECT_EQ(p.Get().AnswersAt(), "115200");
  EXPECT_TRUE(p.Get().Unsettled());
  // Sent and not yet confirmed: the radio may answer at either rate.
  p.RateSent("19200");
  EXPECT_EQ(p.Get().AnswersAt(), "");
  p.RateConfirmed();
  EXPECT_EQ(p.Get().AnswersAt(), "19200");
  p.Failed("pw");
  p.Accepted("wn", 9);
  // "m>" went out: stored or not, nobody knows until the line confirms it.
  p.StoreSent();
  EXPECT_FALSE(p.Get().Stored().has_value());
  p.Lost(u"the store command");
  EXPECT_EQ(p.Get().lostAt, u"the store command");
  EXPECT_FALSE(p.Get().Stored().has_value());
  p.Confirmed();
  EXPECT_EQ(p.Get().Stored(), true);
  EXPECT_EQ(p.Get().failed, std::vector<std::string>{"pw"});
  // A new run starts from nothing.
  p.Begin("9600");
  EXPECT_TRUE(p.Get().failed.empty());
  EXPECT_EQ(p.Get().Stored(), false);
}

TEST(StoreProgress, ASetCommandGivesItsRegisterAndHexValue) {
  std::string reg;
  int32_t value = 0;
  ASSERT_TRUE(radio::ParseSetCommand(u"pw34", &reg, &value));
  EXPECT_EQ(reg, "pw");
  EXPECT_EQ(value, 0x34);
  ASSERT_TRUE(radio::ParseSetCommand(u"wna", &reg, &value));
  EXPECT_EQ(value, 10);
  for (const char16_t* not_set : {u"wn?", u"m>", u"z>", u"wn", u"W1", u"wn5x", u":wit2400"})
    EXPECT_FALSE(radio::ParseSetCommand(not_set, &reg, &value));
}

}  // namespace
