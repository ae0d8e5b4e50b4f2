// qelm-radio-sim as a program: the command line it takes and refuses, and a run that keeps its
// stored state in a file across restarts, places and removes its link, and hears the cable
// signal. The line is opened with the termios device, as the real program opens it.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/devices/SerialDevice.h"
#include "platform/devices/TermiosSerial.h"
#include "sim/RadioModem.h"
#include "tests/WaitUntil.h"
#include "tests/sim/RadioSimChild.h"

namespace {

using platform::TermiosSerial;
using test_support::RadioSimChild;
using test_support::WaitUntil;

void SetReadTimeOut(TermiosSerial& d, uint32_t ms) {
  platform::COMMTIMEOUTS t;
  t.ReadTotalTimeoutConstant = ms;
  d.SetCommTimeouts(t);
}

// Reads up to and with the stop byte; a pause longer than ms ends it early. The bound is for a
// busy machine: the stand-in answers within a few milliseconds when it gets to run.
std::string ReadUntil(TermiosSerial& d, char stop, uint32_t ms = 3000) {
  SetReadTimeOut(d, ms);
  std::string got;
  char c = 0;
  uint32_t n = 0;
  while (d.ReadFile(&c, 1, &n) && n == 1) {
    got.push_back(c);
    if (c == stop) break;
  }
  return got;
}

void Write(TermiosSerial& d, const std::string& text) {
  uint32_t written = 0;
  ASSERT_TRUE(d.WriteFile(text.data(), static_cast<uint32_t>(text.size()), &written));
  ASSERT_EQ(written, text.size());
}

// The banner that follows a radio start, up to its ":".
std::string AwaitBanner(TermiosSerial& d) {
  SetReadTimeOut(d, 5000);
  char first = 0;
  uint32_t n = 0;
  if (!d.ReadFile(&first, 1, &n) || n == 0) return "";
  return first + ReadUntil(d, ':', 1000);
}

std::string FileText(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// A run of the program that ends by itself (a refused command line, --help): its exit status
// and what it wrote.
struct Ended {
  int status = -1;
  std::string out, err;
};

Ended RunToEnd(std::vector<std::string> args) {
  Ended ended;
#ifdef QELM_RADIO_SIM_PATH
  char folder[] = "/tmp/qelm-sim-cli-XXXXXX";
  if (!::mkdtemp(folder)) return ended;
  const std::string out = std::string(folder) + "/out", err = std::string(folder) + "/err";
  args.insert(args.begin(), QELM_RADIO_SIM_PATH);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr))
      ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    ended.status = WEXITSTATUS(status);
  ended.out = FileText(out);
  ended.err = FileText(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  ::rmdir(folder);
#else
  (void)args;
#endif
  return ended;
}

class RadioSimProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef QELM_RADIO_SIM_PATH
    GTEST_SKIP() << "qelm-radio-sim is not built into this test";
#endif
  }
};

TEST_F(RadioSimProgramTest, HelpIsPrintedAndEndsWell) {
  for (const char* help : {"--help", "-h"}) {
    const Ended run = RunToEnd({help});
    EXPECT_EQ(run.status, 0) << help;
    EXPECT_EQ(run.out.rfind("usage: qelm-radio-sim [options]\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("  --reconnect-after-open MS\n"), std::string::npos);
    EXPECT_EQ(run.err, "");
  }
  // Asked for with the other options, it still comes first; a bad option still refuses.
  EXPECT_EQ(RunToEnd({"--model", "2400", "--help"}).status, 0);
  EXPECT_EQ(RunToEnd({"--help", "--bogus"}).status, 2);
}

TEST_F(RadioSimProgramTest, ABadCommandLineIsRefusedWithItsReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--bogus=1"}, "unknown option --bogus"},
      {{"stray"}, "unknown option stray"},
      {{"-x"}, "unknown option -x"},
      {{"-hq"}, "unknown option -hq"},
      {{"--"}, "unknown option --"},
      {{"--mod", "2400"}, "unknown option --mod"},  // no abbreviations
      {{"--quiet=yes"}, "unknown option --quiet"},
      {{"--model"}, "--model needs a value"},
      {{"--quiet", "--fault"}, "--fault needs a value"},
      {{"--model", "24"}, "--model needs a four-digit number"},
      {{"--baud", "fast"}, "--baud needs a rate"},
      {{"--model", "2400", "--baud", "115200"}, "model 2400 has no rate 115200"},
      {{"--internal", "--external"}, "--internal and --external exclude each other"},
      {{"--preset", "nonesuch"}, "unknown preset nonesuch"},
      {{"--boot-ms", "-1"}, "--boot-ms needs a number from 0 to 60000"},
      {{"--seed=x"}, "--seed needs a number from 0 to 2147483647"},
      {{"--fault", "melt"}, "unknown fault melt"},
      {{"--fault=melt=pe?"}, "unknown fault melt"},
  };
  for (const auto& [args, reason] : cases) {
    const Ended run = RunToEnd(args);
    EXPECT_EQ(run.status, 2) << args.front();
    EXPECT_EQ(run.err, "qelm-radio-sim: " + reason + " (see --help)\n") << args.front();
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(RadioSimProgramTest, OptionsTakeTheirValuesInEitherFormAndInAnyOrder) {
  RadioSimChild sim;
  // A value may look like an option, and the last of a repeated option counts.
  ASSERT_TRUE(sim.Start({"--firmware", "--x", "--baud=9600", "--model=2400", "--preset", "2400",
                         "--baud", "19200", "--internal"}));
  ASSERT_TRUE(sim.WaitForReport("radio\n")) << sim.Report();
  EXPECT_NE(sim.Report().find("model 2400, firmware --x, 19200 bit/s, internal radio"),
            std::string::npos)
      << sim.Report();
}

TEST_F(RadioSimProgramTest, KeepsItsStateAndLinkAndHearsTheCableSignal) {
  RadioSimChild sim;
  char dir[] = "/tmp/qelm-sim-test-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  std::string link = std::string(dir) + "/radio", state = std::string(dir) + "/state";
  ASSERT_TRUE(sim.Start({"--path", link, "--state", state}));
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim.Path(), target);
  {
    int error = 0;
    auto d = TermiosSerial::Open(link, &error);
    ASSERT_NE(d, nullptr);
    SetReadTimeOut(*d, 100);
    // The cable signal means something only to a radio whose port is open.
    ASSERT_TRUE(sim.WaitForReport("port opened")) << sim.Report();
    sim.Signal(SIGUSR1);
    EXPECT_EQ(AwaitBanner(*d), sim::RadioModem(sim::RadioConfig{}).BannerText());
    Write(*d, ":wit2400\r\n");
    ReadUntil(*d, '>');
    Write(*d, "wn7\r\n");
    ReadUntil(*d, '>');
    Write(*d, "m>\r\n");
    EXPECT_EQ(ReadUntil(*d, '>'), "m>");
    // Each store is written to the state file as it happens.
    EXPECT_TRUE(WaitUntil([&] { return FileText(state).find("wn=07\n") != std::string::npos; }))
        << FileText(state);
    EXPECT_NE(FileText(state).find("baud=115200\n"), std::string::npos);
  }
  sim.Stop(SIGTERM);
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0);

  ASSERT_TRUE(sim.Start({"--state", state, "--internal"}));
  int error = 0;
  auto d = TermiosSerial::Open(sim.Path(), &error);
  ASSERT_NE(d, nullptr);
  platform::DCB dcb;
  ASSERT_TRUE(d->GetCommState(dcb));
  dcb.BaudRate = 115200;
  ASSERT_TRUE(d->SetCommState(dcb));
  AwaitBanner(*d);
  Write(*d, ":wit2400\r\n");
  ReadUntil(*d, '>');
  Write(*d, "wn?\r\n");
  EXPECT_EQ(ReadUntil(*d, '>'), "wn?\r\n07\r\n>");
  sim.Stop(SIGTERM);  // it writes the state once more as it ends
  std::remove(state.c_str());
  ::rmdir(dir);
}

}  // namespace
