// What a fleet leaves to read afterwards, against qelm-radio-sim radios in real time: the log
// of a large fleet whole and tagged line by line, its JSON Lines and CSV report, the ports file
// with a link per port, a profile that one radio's reading gives and another radio's save
// applies, and one device named twice under two spellings.
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <fstream>

#include "CliHarness.h"

using namespace cli_test;

namespace {

class CliFleetReportTest : public ::testing::Test {
 protected:
  Folder folder;
};

QJsonObject Json(const std::string& line) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
}

TEST_F(CliFleetReportTest, FortyRadiosLeaveAWholeTaggedLogAndReportsThatParseBack) {
  // An old log of 600 lines: the run's trim keeps the last 500 or the whole run, if longer.
  {
    std::filesystem::create_directories(folder.Path() + "/data");
    std::ofstream old(folder.LogPath(), std::ios::binary);
    for (int i = 0; i < 600; ++i) old << "01/01/2026 1:00:00: old line " << i << "\r\n";
  }
  std::vector<std::unique_ptr<SimRadio>> radios;
  std::map<std::string, SimRadio*> replug;
  const std::string portsFile = folder.Path() + "/ports";
  std::ofstream ports(portsFile);
  for (int i = 0; i < 40; ++i) {
    radios.push_back(std::make_unique<SimRadio>(folder.Path(), "r" + std::to_string(i),
                                                Texts{"--preset", i % 2 ? "shrike" : "vireo-us"}));
    replug[radios.back()->Port()] = radios.back().get();
    ports << radios.back()->Port() << "   # rack slot " << i << "\n";
  }
  ports.close();
  const std::string csv = folder.Path() + "/report.csv";
  CliRun run = RunCli({"fleet", "--ports-file", portsFile, "--jobs", "8", "--wait", "60",
                       "--report", csv, "--", "read", "--json"},
                      replug);
  ASSERT_EQ(run.status, 0) << run.out;

  // JSON Lines: one object per port, then the summary.
  std::istringstream out(run.out);
  std::vector<QJsonObject> objects;
  for (std::string l; std::getline(out, l);) {
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(l), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << l;
    objects.push_back(doc.object());
  }
  ASSERT_EQ(objects.size(), 41u);
  for (size_t i = 0; i < 40; ++i) {
    EXPECT_EQ(objects[i]["status"].toInt(), 0);
    EXPECT_EQ(objects[i]["phase"].toString(), "read");
    EXPECT_EQ(objects[i]["model"].toInt(), 2410);
    EXPECT_TRUE(objects[i]["error"].isNull());
    EXPECT_TRUE(objects[i].contains("verified"));
  }
  EXPECT_TRUE(objects[40]["summary"].toBool());
  EXPECT_EQ(objects[40]["done"].toInt(), 40);
  std::istringstream rows(ReadAll(csv));
  Texts csvLines;
  for (std::string l; std::getline(rows, l);) csvLines.push_back(l);
  ASSERT_EQ(csvLines.size(), 41u);
  EXPECT_EQ(csvLines[0].rfind("port,job,status,result,phase,", 0), 0u);
  // In the order the ports were given, whatever order they ended in; the processes' own JSON
  // Lines beside it were only its safeguard.
  for (size_t i = 0; i < 40; ++i)
    EXPECT_EQ(csvLines[i + 1].rfind(radios[i]->Port() + ",read,0,done,", 0), 0u) << csvLines[i + 1];
  EXPECT_FALSE(std::filesystem::exists(csv + ".jsonl"));

  // The log: every line of the run is there, and every line a port's process wrote says so.
  Texts log = LogTexts(folder.LogPath());
  auto start = std::find(log.begin(), log.end(), "Application started");
  ASSERT_NE(start, log.end());
  EXPECT_EQ(*(start + 1), "Command line: fleet --ports-file " + portsFile +
                              " --jobs 8 --wait 60 --report " + csv + " -- read --json");
  EXPECT_GT(log.end() - start, 500);  // longer than the plain rule would keep
  std::map<std::string, int> readOk;
  for (auto it = start + 2; it != log.end(); ++it) {
    if (it->rfind("Fleet: ", 0) == 0 || *it == "Application closed") continue;
    ASSERT_EQ(it->rfind("[", 0), 0u) << *it;
    const std::string port = it->substr(1, it->find(']') - 1);
    ASSERT_TRUE(replug.count(port)) << *it;
    if (it->find("] Radio settings read OK.") != std::string::npos) ++readOk[port];
  }
  EXPECT_EQ(readOk.size(), 40u);
  EXPECT_EQ(log.back(), "Application closed");
}

TEST_F(CliFleetReportTest, APortsFileGivesEachRadioItsOwnLink) {
  SimRadio one(folder.Path(), "one", {"--preset", "shrike"});
  SimRadio two(folder.Path(), "two", {"--preset", "shrike"});
  const std::string file = folder.Path() + "/rack";
  std::ofstream(file) << one.Port() << " 7\n" << two.Port() << " 11\n";
  CliRun run = RunCli({"fleet", "--ports-file", file, "--json", "--", "save", "--link", "2"},
                      {{one.Port(), &one}, {two.Port(), &two}});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(one.Lines(), "wn7"));
  EXPECT_TRUE(Has(two.Lines(), "wnb"));
}

TEST_F(CliFleetReportTest, AProfileFromOneRadioIsAppliedToAnother) {
  SimRadio source(folder.Path(), "source", {"--preset", "shrike", "--baud", "57600"});
  SimRadio target(folder.Path(), "target", {"--preset", "vireo-us"});
  CliRun read = RunCli({"read", "--port", source.Port(), "--rate", "57600", "--json"},
                       {{source.Port(), &source}});
  ASSERT_EQ(read.status, 0);
  const std::string profile = folder.Path() + "/radio.json";
  std::ofstream(profile) << read.out;
  QJsonObject want = Json(read.out);

  CliRun save = RunCli({"save", "--port", target.Port(), "--profile", profile, "--verify"},
                       {{target.Port(), &target}});
  ASSERT_EQ(save.status, 0) << save.out;
  CliRun back = RunCli({"read", "--port", target.Port(), "--rate", "57600", "--json"},
                       {{target.Port(), &target}});
  QJsonObject got = Json(back.out);
  for (const char* key : {"device", "link", "mode", "rate"}) EXPECT_EQ(got[key], want[key]) << key;

  // An option on the command line wins over the profile.
  CliRun over = RunCli({"save", "--port", target.Port(), "--rate", "57600", "--profile", profile,
                        "--link", "9", "--json"},
                       {{target.Port(), &target}});
  EXPECT_EQ(Json(over.out)["link"].toInt(), 9);
  // A failed job's report is no profile.
  std::ofstream(profile) << "{\"status\":3,\"link\":null}\n";
  EXPECT_EQ(RunCli({"save", "--port", target.Port(), "--profile", profile}).status, 64);
}

TEST_F(CliFleetReportTest, OneDeviceUnderTwoSpellingsIsRefusedBeforeAnythingStarts) {
  SimRadio radio(folder.Path(), "r", {"--preset", "shrike"});
  char target[256] = {};
  ASSERT_GT(readlink(radio.Port().c_str(), target, sizeof target - 1), 0);
  const std::string pts = target;
  const std::string other = "/dev/pts/../pts/" + pts.substr(pts.rfind('/') + 1);
  CliRun run = RunCli({"fleet", "--ports", radio.Port() + "," + other, "--", "read"});
  EXPECT_EQ(run.status, 64);
  ASSERT_FALSE(run.err.empty());
  EXPECT_NE(run.err[0].find("are one device"), std::string::npos) << run.err[0];
  EXPECT_FALSE(radio.WasOpened());
}

}  // namespace
