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
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/devices/SerialDevice.h"
#include "platform/devices/TermiosSerial.h"
#include "sim/RadioModem.h"
#include "tests/WaitUntil.h"
#include "tests/sim/RadioSimChild.h"

namespace {

using platform::COMMTIMEOUTS;
using platform::DCB;
using platform::TermiosSerial;

using test_support::RadioSimChild;
using test_support::WaitUntil;

// Whether a thread of this process is asleep in the kernel (a read or wait that blocks).
bool Sleeping(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(stat, line);
  // The state follows the command's closing parenthesis.
  const size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'S';
}

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
  // Reads up to and with the stop byte; a pause longer than ms ends it early. The bound is for a
  // busy machine: the stand-in answers within a few milliseconds when it gets to run.
  static std::string ReadUntil(TermiosSerial& d, char stop, uint32_t ms = 3000) {
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
  static void Write(TermiosSerial& d, const std::string& text) {
    uint32_t written = 0;
    ASSERT_TRUE(d.WriteFile(text.data(), static_cast<uint32_t>(text.size()), &written));
    ASSERT_EQ(written, text.size());
  }
  // The internal radio's banner, which comes some 300 ms after the open. Its bytes come back
  // to back: a second without one is its end.
  static std::string AwaitBanner(TermiosSerial& d) {
    SetReadTimeOut(d, 5000);
    char first = 0;
    uint32_t n = 0;
    if (!d.ReadFile(&first, 1, &n) || n == 0) return "";
    return first + ReadUntil(d, ':', 1000);
  }

  RadioSimChild sim_;
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
  uint32_t errors = 0;
  platform::COMSTAT stat;
  // The whole reply (pe6 CR LF >) waits in the input queue, counted, before anything is read.
  EXPECT_TRUE(WaitUntil([&] { return d->ClearCommError(&errors, &stat) && stat.cbInQue >= 6; }));
  EXPECT_EQ(stat.cbInQue, 6u);
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
  // Never before the time-out; after it, only as late as a busy machine wakes a waiting
  // program (how close to 100 ms it comes is measured in bench/, not here).
  EXPECT_GE(ms, 99);
  EXPECT_LT(ms, 1000);
}

TEST_F(TermiosSerialTest, WrongRateHearsOnlyNoise) {
  ASSERT_TRUE(sim_.Start({"--internal"}));
  auto d = OpenAt(9600);
  ASSERT_NE(d, nullptr);
  SetReadTimeOut(*d, 5000);
  char first = 0;
  uint32_t n = 0;
  ASSERT_TRUE(d->ReadFile(&first, 1, &n));
  ASSERT_EQ(n, 1u);
  std::string heard = first + ReadUntil(*d, ':', 1000);
  EXPECT_EQ(heard.size(), sim::RadioModem(sim::RadioConfig{}).BannerText().size());
  for (char ch : heard) EXPECT_GE(static_cast<unsigned char>(ch), 0x80);
}

TEST_F(TermiosSerialTest, RadioDyingMidReadFailsTheReadWithoutHanging) {
  ASSERT_TRUE(sim_.Start({}));
  auto d = OpenAt(115200);
  ASSERT_NE(d, nullptr);
  SetReadTimeOut(*d, 10000);
  // The radio dies once the read is waiting for it.
  const pid_t reader = ::gettid();
  std::thread killer([this, reader] {
    WaitUntil([reader] { return Sleeping(reader); });
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
  EXPECT_LT(ms, 5000);  // well before the read's time-out
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
  // The program opens the port and waits for the external radio...
  ASSERT_TRUE(sim_.Start({"--external"}));
  auto d = OpenAt(115200);
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(sim_.WaitForReport("port opened")) << sim_.Report();
  // ...meanwhile another program looks at the port (stty -F does this) and lets it go...
  int other = ::open(sim_.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ::close(other);
  // ...and then the cable is replugged. The port is still the program's: the banner comes.
  sim_.Signal(SIGUSR1);
  EXPECT_EQ(AwaitBanner(*d), sim::RadioModem(sim::RadioConfig{}).BannerText()) << sim_.Report();
  EXPECT_EQ(sim_.Report().find("port closed"), std::string::npos) << sim_.Report();
}

}  // namespace
