// Port names as people write them, through qelm-cli against qelm-radio-sim radios: a relative
// path is taken and shown resolved against the working folder, blanks around the commas of
// --ports are no part of a name, and a ports file that names no port, or a folder, is refused
// with its own reason before any radio is opened.
#include <limits.h>
#include <stdlib.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "CliHarness.h"

using namespace cli_test;

namespace {

class CliPortNamesTest : public ::testing::Test {
 protected:
  // The folder as the program's working folder names it (no links on the way).
  std::string Real() const {
    char real[PATH_MAX];
    return ::realpath(folder.Path().c_str(), real) ? std::string(real) : folder.Path();
  }
  // qelm-cli run from the test's folder.
  CliRun RunHere(const std::string& args, const std::map<std::string, SimRadio*>& replug = {}) {
    return RunCli(
        {"/bin/sh", "-c", "cd '" + folder.Path() + "' && exec " + QELM_CLI_PATH + " " + args},
        replug, /*program=*/false);
  }
  Folder folder;
};

QJsonObject Json(const std::string& line) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST_F(CliPortNamesTest, ARelativePathIsTakenAndShownResolved) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  CliRun run = RunHere("read --port ./r1 --json", {{"./r1", &radio}});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Json(run.out)["port"].toString().toStdString(), Real() + "/r1") << run.out;
  EXPECT_EQ(radio.Lines(), kRead);
  // A bare name is a path when something of that name is in the working folder.
  run = RunHere("read --port r1 --json", {{"r1", &radio}});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Json(run.out)["port"].toString().toStdString(), Real() + "/r1");
  // One that is not there stays a wrong port name, before anything is opened.
  run = RunHere("read --port r9");
  EXPECT_EQ(run.status, 64);
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err[0],
            "qelm-cli: the port 'r9' is neither COM1, COM2, COM3, a device path nor "
            "rfc2217://HOST:PORT");
}

TEST_F(CliPortNamesTest, BlanksAroundTheCommasOfPortsAreIgnored) {
  SimRadio one(folder.Path(), "one", {"--preset", "shrike"});
  SimRadio two(folder.Path(), "two", {"--preset", "shrike"});
  CliRun run = RunHere("fleet --ports ' ./one ,  " + two.Port() + " ' --json -- read",
                       {{Real() + "/one", &one}, {two.Port(), &two}});
  ASSERT_EQ(run.status, 0) << run.out;
  std::set<std::string> ports;
  for (const std::string& line : Lines(run.out)) {
    QJsonObject o = Json(line);
    if (o.contains("port")) ports.insert(o["port"].toString().toStdString());
  }
  EXPECT_EQ(ports, (std::set<std::string>{Real() + "/one", two.Port()})) << run.out;
  EXPECT_EQ(one.Lines(), kRead);
  EXPECT_EQ(two.Lines(), kRead);
  // The resolved names are what tells two spellings of one device apart.
  run = RunHere("fleet --ports 'one, ./one' -- read");
  EXPECT_EQ(run.status, 64);
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err[0], "qelm-cli: the port " + Real() + "/one is named twice");
}

TEST_F(CliPortNamesTest, APortsFileThatNamesNoPortOrIsAFolderIsRefused) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  const std::string empty = folder.Path() + "/empty", comments = folder.Path() + "/comments";
  std::ofstream(empty) << "";
  std::ofstream(comments) << "# the rack\n   \n# " << radio.Port() << "\n";
  for (const std::string& file : {empty, comments}) {
    CliRun run = RunCli({"fleet", "--ports-file", file, "--", "read"});
    EXPECT_EQ(run.status, 64) << file;
    ASSERT_EQ(run.err.size(), 2u) << file;
    EXPECT_EQ(run.err[0], "qelm-cli: " + file + ": the ports file names no port");
  }
  std::filesystem::create_directory(folder.Path() + "/rack");
  CliRun run = RunHere("fleet --ports-file rack -- read");
  EXPECT_EQ(run.status, 64);
  ASSERT_EQ(run.err.size(), 2u);
  EXPECT_EQ(run.err[0],
            "qelm-cli: cannot read the ports file 'rack': is a directory, not a "
            "regular file");
  EXPECT_FALSE(radio.WasOpened());
  // A ports file's relative names are taken against the working folder too.
  std::ofstream(folder.Path() + "/list") << "./r1 3\n";
  run = RunHere("fleet --ports-file list --json -- read", {{Real() + "/r1", &radio}});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("\"port\":\"" + Real() + "/r1\""), std::string::npos) << run.out;
}

}  // namespace
