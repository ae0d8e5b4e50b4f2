// The termios serial device in real time, against qelm-radio-sim on a pseudo-terminal: opening
// and refusing, line settings at any rate, a command round trip, a wrong rate, and a radio
// that dies in the middle of a read. Kept few and quick; the sequences themselves are tested
// on the virtual clock.

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial/SerialDevice.h"
#include "platform/serial/TermiosSerial.h"
#include "sim/RadioModem.h"

namespace {

using platform::COMMTIMEOUTS;
using platform::DCB;
using platform::TermiosSerial;

// One qelm-radio-sim run; ended with SIGTERM when the test is done with it.
class SimProcess {
 public:
  ~SimProcess() { Stop(SIGTERM); }

  bool Start(std::vector<std::string> args) {
#ifdef QELM_RADIO_SIM_PATH
    path_.clear();
    args.insert(args.begin(), {QELM_RADIO_SIM_PATH, "--quiet"});
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    pid_ = ::fork();
    if (pid_ == 0) {
      int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    // The first line is the pseudo-terminal's path.
    for (;;) {
      pollfd p{out[0], POLLIN, 0};
      char c = 0;
      if (::poll(&p, 1, 5000) <= 0 || ::read(out[0], &c, 1) != 1) break;
      if (c == '\n') break;
      path_.push_back(c);
    }
    ::close(out[0]);
    return path_.rfind("/dev/pts/", 0) == 0;
#else
    (void)args;
    return false;
#endif
  }

  void Stop(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  void Signal(int signal) {
    ::kill(pid_, signal);
  }
  const std::string& Path() const {
    return path_;
  }

 private:
  pid_t pid_ = -1;
  std::string path_;
};

class TermiosSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef QELM_RADIO_SIM_PATH
    GTEST_SKIP() << "qelm-radio-sim is not built into this test";
#endif
  }

  std::unique_ptr<TermiosSerial> OpenAt(uint32_t baud) {
    int error = 0;
    std::unique_ptr<TermiosSerial> d = TermiosSerial::Open(sim_.Path(), &error);
    EXPECT_NE(d, nullptr) << "errno " << error;
    if (!d) return d;
    DCB dcb;
    EXPECT_TRUE(d->GetCommState(dcb));
    dcb.BaudRate = baud;
    EXPECT_TRUE(d->SetCommState(dcb));
    SetReadTimeOut(*d, 100);
    return d;
  }
  static void SetReadTimeOut(TermiosSerial& d, uint32_t ms) {
    COMMTIMEOUTS t;
    t.ReadTotalTimeoutConstant = ms;
    d.SetCommTimeouts(t);
  }
  static std::string ReadUntil(TermiosSerial& d, char stop) {
    std::string got;
    char c = 0;
    uint32_t n = 0;
    while (d.ReadFile(&c, 1, &n) && n == 1) {
      got.push_back(c);
      if (c == stop) break;
    }
    return got;
  }
  static void Write(TermiosSerial& d, const std::string& text) {
    uint32_t written = 0;
    ASSERT_TRUE(d.WriteFile(text.data(), static_cast<uint32_t>(text.size()), &written));
    ASSERT_EQ(written, text.size());
  }
  // The internal radio's banner, which comes some 300 ms after the open.
  static std::string AwaitBanner(TermiosSerial& d) {
    SetReadTimeOut(d, 1500);
    char first = 0;
    uint32_t n = 0;
    if (!d.ReadFile(&first, 1, &n) || n == 0) return "";
    SetReadTimeOut(d, 100);
    return first + ReadUntil(d, ':');
  }

  SimProcess sim_;
};

TEST_F(TermiosSerialTest, OpensTerminalsOnlyAndOneHolderAtATime) {
  ASSERT_TRUE(sim_.Start({}));
  int error = 0;
  EXPECT_EQ(TermiosSerial::Open("/dev/qelm-no-such-port", &error), nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(TermiosSerial::Open("/dev/null", &error), nullptr);
  EXPECT_EQ(error, ENOTTY);

  ::setenv("QELM_COM2", sim_.Path().c_str(), 1);
  auto& provider = platform::CurrentSerialProvider();
  EXPECT_EQ(provider.CreateFile(u"COM4:", &error), nullptr);
  EXPECT_EQ(error, ENOENT);
  {
    auto held = provider.CreateFile(u"COM2:", &error);
    ASSERT_NE(held, nullptr) << "errno " << error;
    EXPECT_EQ(TermiosSerial::Open(sim_.Path(), &error), nullptr);
    EXPECT_EQ(error, EBUSY);
  }
  EXPECT_NE(provider.CreateFile(u"COM2:", &error), nullptr);
  ::unsetenv("QELM_COM2");
}

TEST_F(TermiosSerialTest, RoundTripAt14400) {
  ASSERT_TRUE(sim_.Start({"--internal", "--baud", "14400"}));
  auto d = OpenAt(14400);
  ASSERT_NE(d, nullptr);
  DCB dcb;
  ASSERT_TRUE(d->GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, 14400u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, 0);

  EXPECT_EQ(AwaitBanner(*d), sim::RadioModem(sim::RadioConfig{}).BannerText());
  Write(*d, ":wit2400\r\n");
  EXPECT_EQ(ReadUntil(*d, '>'), ":wit2400\r\n>");

  Write(*d, "pe6\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  uint32_t errors = 0;
  platform::COMSTAT stat;
  ASSERT_TRUE(d->ClearCommError(&errors, &stat));
  EXPECT_EQ(stat.cbInQue, 6u);  // pe6 CR LF >, already all here
  ASSERT_TRUE(d->PurgeComm(platform::PURGE_RXCLEAR));
  ASSERT_TRUE(d->ClearCommError(&errors, &stat));
  EXPECT_EQ(stat.cbInQue, 0u);

  Write(*d, "pe?\r\n");
  uint32_t events = 0;
  d->SetCommMask(platform::EV_RXCHAR | platform::EV_ERR);
  ASSERT_TRUE(d->WaitCommEvent(&events, 1000));
  EXPECT_EQ(events, platform::EV_RXCHAR);
  EXPECT_EQ(ReadUntil(*d, '>'), "pe?\r\n06\r\n>");
}

TEST_F(TermiosSerialTest, SilentLineTimesOutAfterTheReadTimeOut) {
  ASSERT_TRUE(sim_.Start({}));
  auto d = OpenAt(115200);
  ASSERT_NE(d, nullptr);
  auto start = std::chrono::steady_clock::now();
  char c = 0;
  uint32_t n = 1;
  ASSERT_TRUE(d->ReadFile(&c, 1, &n));
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start)
                .count();
  EXPECT_EQ(n, 0u);
  EXPECT_GE(ms, 99);
  EXPECT_LT(ms, 250);
}

TEST_F(TermiosSerialTest, WrongRateHearsOnlyNoise) {
  ASSERT_TRUE(sim_.Start({"--internal"}));
  auto d = OpenAt(9600);
  ASSERT_NE(d, nullptr);
  SetReadTimeOut(*d, 1500);
  char first = 0;
  uint32_t n = 0;
  ASSERT_TRUE(d->ReadFile(&first, 1, &n));
  ASSERT_EQ(n, 1u);
  SetReadTimeOut(*d, 100);
  std::string heard = first + ReadUntil(*d, ':');
  EXPECT_EQ(heard.size(), sim::RadioModem(sim::RadioConfig{}).BannerText().size());
  for (char ch : heard) EXPECT_GE(static_cast<unsigned char>(ch), 0x80);
}

TEST_F(TermiosSerialTest, RadioDyingMidReadFailsTheReadWithoutHanging) {
  ASSERT_TRUE(sim_.Start({}));
  auto d = OpenAt(115200);
  ASSERT_NE(d, nullptr);
  SetReadTimeOut(*d, 5000);
  std::thread killer([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sim_.Stop(SIGKILL);
  });
  auto start = std::chrono::steady_clock::now();
  char c = 0;
  uint32_t n = 0;
  bool ok = d->ReadFile(&c, 1, &n);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start)
                .count();
  killer.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(d->LastError(), EIO);
  EXPECT_LT(ms, 1000);
  uint32_t events = 0;
  d->SetCommMask(platform::EV_RXCHAR | platform::EV_ERR);
  EXPECT_TRUE(d->WaitCommEvent(&events, 1000));
  EXPECT_EQ(events, platform::EV_ERR);
  EXPECT_FALSE(d->WriteFile("x", 1, &n));
}

TEST_F(TermiosSerialTest, InternalRadioRestartsWhenReopenedAtOnce) {
  ASSERT_TRUE(sim_.Start({"--internal"}));
  auto d = OpenAt(9600);
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(AwaitBanner(*d).empty());
  // Closed and opened again in the same breath, as the connect procedure's next rate does.
  d.reset();
  d = OpenAt(115200);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(AwaitBanner(*d), sim::RadioModem(sim::RadioConfig{}).BannerText());
}

TEST_F(TermiosSerialTest, ASecondOpenerClosingLeavesThePortOpen) {
  // The cable is replugged a while after the program opens the port...
  ASSERT_TRUE(sim_.Start({"--reconnect-after-open", "600"}));
  auto d = OpenAt(115200);
  ASSERT_NE(d, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // ...and meanwhile another program looks at the port (stty -F does this) and lets it go.
  int other = ::open(sim_.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ::close(other);
  // The port is still the program's: the replug comes, and so does the banner.
  EXPECT_EQ(AwaitBanner(*d), sim::RadioModem(sim::RadioConfig{}).BannerText());
}

TEST_F(TermiosSerialTest, ProgramKeepsItsStateAndLinkAndHearsTheCableSignal) {
  char dir[] = "/tmp/qelm-sim-test-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  std::string link = std::string(dir) + "/radio", state = std::string(dir) + "/state";
  ASSERT_TRUE(sim_.Start({"--link", link, "--state", state}));
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim_.Path(), target);
  {
    int error = 0;
    auto d = TermiosSerial::Open(link, &error);
    ASSERT_NE(d, nullptr);
    SetReadTimeOut(*d, 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sim_.Signal(SIGUSR1);
    EXPECT_EQ(AwaitBanner(*d), sim::RadioModem(sim::RadioConfig{}).BannerText());
    Write(*d, ":wit2400\r\n");
    ReadUntil(*d, '>');
    Write(*d, "wn7\r\n");
    ReadUntil(*d, '>');
    Write(*d, "m>\r\n");
    EXPECT_EQ(ReadUntil(*d, '>'), "m>");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::stringstream text;
    text << std::ifstream(state).rdbuf();
    EXPECT_NE(text.str().find("wn=07\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("baud=115200\n"), std::string::npos);
  }
  sim_.Stop(SIGTERM);
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0);

  ASSERT_TRUE(sim_.Start({"--state", state, "--internal"}));
  auto d = OpenAt(115200);
  ASSERT_NE(d, nullptr);
  AwaitBanner(*d);
  Write(*d, ":wit2400\r\n");
  ReadUntil(*d, '>');
  Write(*d, "wn?\r\n");
  EXPECT_EQ(ReadUntil(*d, '>'), "wn?\r\n07\r\n>");
  sim_.Stop(SIGTERM);  // it writes the state once more as it ends
  std::remove(state.c_str());
  ::rmdir(dir);
}

}  // namespace
