// qelm-cli as a user runs it, against qelm-radio-sim on pseudo-terminals in real time: the
// option checks, read with its JSON, save with --verify and reset --yes command for command on
// the wire, and a fleet of eight radios of which one stays silent and one vanishes.
#include <fcntl.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "CliHarness.h"

using namespace cli_test;

namespace {

// A process's log lines with its port named PORT, a banner read in one line and the lengths
// of what was read left out.
Texts Comparable(const Texts& lines, const std::string& port) {
  Texts out;
  for (size_t k = 0; k < lines.size(); ++k) {
    std::string l = lines[k];
    if (auto at = l.find(port); at != std::string::npos) l.replace(at, port.size(), "PORT");
    if (l == "ReadTerminatedStr: " && k + 1 < lines.size()) l += lines[++k];
    if (auto len = l.find(" Len= "); len != std::string::npos) l.erase(len + 6);
    out.push_back(l);
  }
  return out;
}

class CliProgramTest : public ::testing::Test {
 protected:
  Folder folder;
};

TEST_F(CliProgramTest, BadUsageEndsWith64BeforeAnyPortIsOpened) {
  // Nobody replugs it: a run that opened the port would wait for it, and fail.
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  const std::string p = radio.Port();
  const std::vector<Texts> cases = {
      {},
      {"fetch", "--port", p},
      {"read"},                                  // no port
      {"read", "--port", "COM4"},                // not a port
      {"read", "--port", p, "--rate", "38400"},  // not in the list
      {"read", "--port", p, "--link", "3"},      // not an option of read
      {"save", "--port", p, "--link", "16"},     // outside 0 to 15
      {"save", "--port", p, "--link", "x"},
      {"save", "--port", p, "--device", "Vireo C & Tanager"},
      {"save", "--port", p, "--device", "4"},
      {"save", "--port", p, "--mode", "relay"},
      {"save", "--port", p, "--new-rate", "1200"},
      {"save", "--port", p, "--band", "usa"},  // needs --service
      {"save", "--port", p, "--service", "--power", "max"},
      {"save", "--port", p, "--device", "3", "--mode", "base"},
      {"save", "--port", p, "--device", "corax & tanager", "--new-rate", "9600"},
      {"reset", "--port", p, "--wait", "0"},
      {"save", "--port"},                               // value missing
      {"fleet", "--ports", p, "--", "reset"},           // a fleet cannot ask
      {"fleet", "--ports", p + "," + p, "--", "read"},  // a port twice
      {"fleet", "--ports", p, "--", "read", "--port", p},
      {"fleet", "--", "read"},
      {"fleet", "--ports", p, "--jobs", "0", "--", "read"},
      {"fleet", "--ports", p, "--report", "out.txt", "--", "read"},
      {"reset", "--port", p},  // nobody at a terminal to ask
      {"help", "fetch"},
  };
  for (const Texts& args : cases) {
    CliRun run = RunCli(args);
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    EXPECT_EQ(run.status, 64) << shown;
    // One line that says what is wrong, one that says where the usage is.
    ASSERT_EQ(run.err.size(), 2u) << shown;
    EXPECT_EQ(run.err[0].rfind("qelm-cli: ", 0), 0u) << shown;
    EXPECT_EQ(run.err[1].rfind("Try 'qelm-cli ", 0), 0u) << shown;
    EXPECT_TRUE(run.out.empty()) << shown;
  }
  EXPECT_FALSE(radio.WasOpened());
  EXPECT_TRUE(radio.Lines().empty());
  EXPECT_TRUE(Has(RunCli({"reset", "--port", p}).err,
                  "qelm-cli: reset needs --yes where no terminal can ask"));
  EXPECT_EQ(RunCli({"save", "--port", p, "--mode", "relay"}).err[1], "Try 'qelm-cli save --help'.");
}

TEST_F(CliProgramTest, HelpForACommandGoesToStandardOutputWithStatusZero) {
  for (const Texts& args : std::vector<Texts>{{"help", "save"},
                                              {"save", "--help"},
                                              {"save", "-h"},
                                              {"save", "--port", "COM1", "--help"}}) {
    CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 0) << args[0] << " " << args[1];
    EXPECT_EQ(run.out.rfind("usage: qelm-cli save ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("--verify"), std::string::npos);
    EXPECT_TRUE(run.err.empty());
  }
  CliRun all = RunCli({"help"});
  EXPECT_EQ(all.status, 0);
  EXPECT_NE(all.out.find("qelm-cli fleet"), std::string::npos);
  CliRun fleet = RunCli({"fleet", "-h"});
  EXPECT_EQ(fleet.status, 0);
  EXPECT_NE(fleet.out.find("--jobs N"), std::string::npos);
}

TEST_F(CliProgramTest, APortThatWillNotOpenIsToldOnceWithTheDeviceAndWhy) {
  const std::string fifo = folder.Path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // opening a FIFO for reading would block
  const std::string none = folder.Path() + "/none";
  for (const auto& [path, why] :
       std::vector<std::pair<std::string, std::string>>{{fifo, "not a serial terminal"},
                                                        {"/dev/null", "not a serial terminal"},
                                                        {none, "no such device"}}) {
    CliRun run = RunCli({"read", "--port", path, "--wait", "1"});
    EXPECT_EQ(run.status, 3) << path;
    ASSERT_EQ(run.err.size(), 1u) << path;
    EXPECT_EQ(run.err[0], "Error: Cannot open port. " + path + ": " + why);
  }
  // Held by another program: busy.
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  int holder = open(radio.Port().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  CliRun busy = RunCli({"read", "--port", radio.Port(), "--wait", "1"});
  close(holder);
  EXPECT_EQ(busy.status, 3);
  EXPECT_TRUE(Has(busy.err, ": busy")) << (busy.err.empty() ? "" : busy.err[0]);
}

TEST_F(CliProgramTest, RadioTextReachesTheTerminalOnlyAsHarmlessText) {
  // A firmware text with an escape sequence and a C1 control (CSI) in it.
  SimRadio radio(folder.Path(), "r1", {"--preset", "corax", "--firmware", "\x1b[\x9b"});
  CliRun text = RunCli({"read", "--port", radio.Port()}, {{radio.Port(), &radio}});
  EXPECT_NE(text.out.find("Firmware:  ^[[\\x9B"), std::string::npos) << text.out;
  CliRun json = RunCli({"read", "--port", radio.Port(), "--json"}, {{radio.Port(), &radio}});
  EXPECT_NE(json.out.find("\"firmware\":\"\\u001b[\\u009b\""), std::string::npos) << json.out;
  // The handle profile is refused for that firmware, and the message names it.
  CliRun save = RunCli({"save", "--port", radio.Port()}, {{radio.Port(), &radio}});
  EXPECT_EQ(save.status, 1);
  for (const CliRun* run : {&text, &json, &save}) {
    std::string all = run->out;
    for (const auto& l : run->err) all += l + "\n";
    EXPECT_EQ(all.find('\x1b'), std::string::npos) << all;
    EXPECT_EQ(all.find("\xc2\x9b"), std::string::npos) << all;
  }
}

TEST_F(CliProgramTest, ReadPrintsOneJsonObjectThatParsesBack) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "corax"});
  CliRun run =
      RunCli({"read", "--port", radio.Port(), "--service", "--json"}, {{radio.Port(), &radio}});
  ASSERT_EQ(run.status, 0);
  QJsonParseError error{};
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
  QJsonObject o = doc.object();
  EXPECT_EQ(o["job"].toString(), "read");
  EXPECT_EQ(o["status"].toInt(), 0);
  EXPECT_EQ(o["model"].toInt(), 2410);
  EXPECT_EQ(o["firmware"].toString(), "5.4");
  EXPECT_EQ(o["device"].toObject()["number"].toInt(), 3);
  EXPECT_EQ(o["device"].toObject()["name"].toString(), "Corax & Tanager");
  EXPECT_EQ(o["link"].toInt(), 0);
  EXPECT_EQ(o["mode"].toString(), "Remote");
  EXPECT_EQ(o["rate"].toInt(), 115200);
  EXPECT_EQ(o["band"].toObject()["value"].toInt(), 6);
  EXPECT_EQ(o["band"].toObject()["name"].toString(), "Morva Worldwide");
  EXPECT_EQ(o["power"].toObject()["name"].toString(), "High 100mW (def.)");
  EXPECT_EQ(radio.Lines(), Concat({kRead, {"wu?", "pn?", "pr?", "wp?"}}));
}

TEST_F(CliProgramTest, SaveWithVerifySwitchesTheRateAndReadsBackAtIt) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  CliRun run = RunCli({"save", "--port", radio.Port(), "--link", "12", "--mode", "remote",
                       "--new-rate", "19200", "--verify"},
                      {{radio.Port(), &radio}});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Verified:  yes"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Rate:      19200"), std::string::npos) << run.out;
  EXPECT_EQ(
      radio.Lines(),
      Concat({kRead,
              {"wb0", "wnc", "sd0B", "", "sd?", "pn1", "pw34", "pr30", "wu01", "dx00", "m>", "z>"},
              kRead}));
  Texts log = LogTexts(folder.LogPath());
  EXPECT_TRUE(Has(log, "Baudrate set to 19200 with sd0B"));
  EXPECT_TRUE(Has(log, "Settings stored OK."));
  EXPECT_EQ(std::count(log.begin(), log.end(), "Radio settings read OK."), 2);
  EXPECT_EQ(log.back(), "Application closed");
}

TEST_F(CliProgramTest, VerifyPassesWhenTheStoredRegistersReadAsAnotherEntry) {
  // Stored as "Vireo B & Shrike" at 115200, the registers read back as the handle profile.
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  CliRun run = RunCli(
      {"save", "--port", radio.Port(), "--link", "5", "--mode", "remote", "--verify", "--json"},
      {{radio.Port(), &radio}});
  EXPECT_EQ(run.status, 0) << run.out;
  QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
  EXPECT_TRUE(o["verified"].toBool());
  EXPECT_EQ(o["phase"].toString(), "verified");
  EXPECT_EQ(o["device"].toObject()["name"].toString(), "Corax & Tanager");
  EXPECT_EQ(o["note"].toString(),
            "stored as 2 Vireo B & Shrike; the radio's registers read as 3 Corax & Tanager");
  EXPECT_EQ(o["link"].toInt(), 5);
}

TEST_F(CliProgramTest, ResetWithYesSendsTheUsDefaultsAndEndsAt19200) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "vireo-us"});
  CliRun run =
      RunCli({"reset", "--port", radio.Port(), "--yes", "--json"}, {{radio.Port(), &radio}});
  EXPECT_EQ(run.status, 0);
  QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
  EXPECT_EQ(o["result"].toString(), "done");
  EXPECT_EQ(o["phase"].toString(), "stored");
  EXPECT_EQ(o["rate"].toInt(), 19200);
  // The maker's settings were not read back: they are unknown, not those from before.
  EXPECT_TRUE(o["link"].isNull());
  EXPECT_TRUE(o["mode"].isNull());
  EXPECT_TRUE(o["device"].isNull());
  EXPECT_EQ(
      radio.Lines(),
      Concat({kRead,
              {"m0", "pe00", "pn1", "pw30", "pr10", "wu01", "dx04", "wb1", "sd0B", "m>", "z>"}}));
  EXPECT_TRUE(Has(run.err, "Reset the radio modem to Morva defaults"));
  EXPECT_TRUE(Has(LogTexts(folder.LogPath()), "Morva US defaults saved."));
}

TEST_F(CliProgramTest, ASwissResetOfARadioThatIsRepluggedAtEachOpenEndsAtItsNewRate) {
  // The reset's reopening at the new rate is no replug: the radio keeps its session. The delay
  // leaves a loaded machine time to set the port's rate before the banner comes.
  SimRadio radio(folder.Path(), "r1",
                 {"--preset", "vireo-swiss", "--reconnect-after-open", "1500"});
  CliRun run = RunCli({"reset", "--port", radio.Port(), "--yes", "--json"});
  EXPECT_EQ(run.status, 0) << run.out;
  QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
  EXPECT_EQ(o["rate"].toInt(), 115200);
  Texts lines = radio.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "m>");
  EXPECT_EQ(lines.back(), "z>");
}

TEST_F(CliProgramTest, ResetTakesNoAnswerFromAPipe) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "vireo-us"});
  // The program runs in a session of its own here: there is no terminal, only the pipe.
  CliRun run = RunCli(
      {"/bin/sh", "-c", "echo y | " + std::string(QELM_CLI_PATH) + " reset --port " + radio.Port()},
      {}, /*program=*/false);
  EXPECT_EQ(run.status, 64);
  EXPECT_TRUE(Has(run.err, "reset needs --yes where no terminal can ask"));
  EXPECT_FALSE(radio.WasOpened());
  EXPECT_TRUE(radio.Lines().empty());
}

TEST_F(CliProgramTest, AReportFileThatCannotBeWrittenStopsTheJobBeforeTheRadio) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "vireo-us"});
  CliRun run = RunCli({"save", "--port", radio.Port(), "--link", "4", "--report",
                       folder.Path() + "/no-such-folder/report.jsonl"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err, "qelm-cli: cannot write the report '" + folder.Path() +
                               "/no-such-folder/report.jsonl'"));
  EXPECT_FALSE(radio.WasOpened());
  EXPECT_TRUE(radio.Lines().empty());
}

TEST_F(CliProgramTest, FleetOfEightReportsEachPortAndTheWorstStatusWithEveryLogLine) {
  std::vector<std::unique_ptr<SimRadio>> radios;
  std::map<std::string, SimRadio*> replug;
  std::string ports;
  for (int i = 1; i <= 8; ++i) {
    Texts options = {"--preset", i % 2 ? "shrike" : "vireo-us"};
    if (i == 8) options = {"--preset", "vireo-us", "--fault", "vanish=wn?"};
    radios.push_back(std::make_unique<SimRadio>(folder.Path(), "p" + std::to_string(i), options));
    if (i != 7) replug[radios.back()->Port()] = radios.back().get();  // 7 is never replugged
    ports += (i > 1 ? "," : "") + radios.back()->Port();
  }
  // The bound must hold eight connects at once on a loaded two-core machine; only the radio
  // nobody replugs waits it out.
  CliRun run = RunCli({"fleet", "--ports", ports, "--wait", "20", "--", "save", "--link", "3",
                       "--new-rate", "57600", "--verify"},
                      replug);
  EXPECT_EQ(run.status, 1);
  std::map<std::string, std::string> lines;
  std::istringstream out(run.out);
  for (std::string l; std::getline(out, l);) lines[l.substr(0, l.find(' '))] = l;
  // The port column takes the longest name, so every column stays under its heading.
  const size_t resultAt = lines["PORT"].find("RESULT");
  ASSERT_EQ(resultAt, radios[0]->Port().size() + 1) << lines["PORT"];
  for (int i = 1; i <= 8; ++i) {
    const std::string& line = lines[radios[i - 1]->Port()];
    EXPECT_EQ(line.find_first_not_of(' ', radios[i - 1]->Port().size()), resultAt) << line;
    if (i >= 7) {
      EXPECT_NE(line.find(" failed "), std::string::npos) << line;
      continue;
    }
    EXPECT_NE(line.find(" done "), std::string::npos) << line;
    EXPECT_EQ(line.find(" 2410 "), lines["PORT"].find(" MODEL ")) << line;
    EXPECT_NE(line.find(i % 2 ? "2 Vireo B & Shrike" : "1 Vireo B & Tanager"), std::string::npos);
    EXPECT_NE(line.find(" 3 "), std::string::npos) << line;
    EXPECT_NE(line.find(" 57600 "), std::string::npos) << line;
  }
  EXPECT_NE(run.out.find("8 ports: 6 done, 2 failed; worst status 1"), std::string::npos);
  EXPECT_TRUE(radios[6]->Lines().empty());

  // Every process's lines are all there: each good radio's run logs the same lines, and the
  // run's own opening and closing lines come once.
  Texts log = LogTexts(folder.LogPath());
  EXPECT_EQ(std::count(log.begin(), log.end(), "Application started"), 1);
  EXPECT_EQ(log.back(), "Application closed");
  Texts first;
  for (int i = 1; i <= 6; ++i) {
    const std::string tag = "[" + radios[i - 1]->Port() + "] ";
    Texts mine;
    for (const auto& l : log)
      if (l.rfind(tag, 0) == 0) mine.push_back(l.substr(tag.size()));
    EXPECT_EQ(std::count(mine.begin(), mine.end(), "Radio settings read OK."), 2) << tag;
    EXPECT_EQ(std::count(mine.begin(), mine.end(), "Settings stored OK."), 1) << tag;
    // The process's own result line: what was sent and confirmed, and what the verify's
    // reading could not ask for (the profile registers outside the handle detection).
    EXPECT_EQ(mine.back(),
              "Result: done, verified; store command sent, stored: yes; answers at 57600; not "
              "verifiable: pn, pr, pw, wu")
        << tag;
    if (i == 1) first = mine;
    if (i == 3 || i == 5) {
      // The same lines, the port's own name aside. Whether the line end in front of a banner
      // was read with it or taken for the plug's noise depends on when the wait looked: the
      // banner's line then starts on the next line or on its own (this, on a loaded machine,
      // once made the line counts differ).
      const Texts same = Comparable(mine, radios[i - 1]->Port());
      const Texts ones = Comparable(first, radios[0]->Port());
      for (size_t k = 0; k < std::max(same.size(), ones.size()); ++k)
        ASSERT_EQ(k < same.size() ? same[k] : "(none)", k < ones.size() ? ones[k] : "(none)")
            << tag << " line " << k;
    }
  }
  const std::string vanished = "[" + radios[7]->Port() + "] ";
  EXPECT_TRUE(Has(log, vanished + "ERROR: Settings could not be read."));
  EXPECT_TRUE(Has(log, "[" + radios[6]->Port() + "] Tentative connection cancelled."));
}

}  // namespace
