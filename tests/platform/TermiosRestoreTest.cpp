// A port is left as it was found: the line settings a pseudo-terminal held before the tool
// opened it (as `stty -g` prints them) are there again after a probe that only opens and
// closes, after a connection that set its own line, rate and time-outs and wrote to it, and
// when the port was opened through its COM name. And a purge drops stale input but never a
// line already written that the far end has not read yet.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

#include "platform/devices/SerialDevice.h"
#include "platform/devices/TermiosSerial.h"
#include "tests/WaitUntil.h"

namespace {

using platform::DCB;
using platform::TermiosSerial;

class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
      slave_ = ::ptsname(master_);
  }
  ~Pty() {
    if (master_ >= 0) ::close(master_);
  }
  const std::string& Slave() const { return slave_; }
  int Master() const { return master_; }

 private:
  int master_ = -1;
  std::string slave_;
};

std::string Run(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  std::array<char, 512> buf{};
  while (size_t n = std::fread(buf.data(), 1, buf.size(), p)) out.append(buf.data(), n);
  ::pclose(p);
  return out;
}

std::string SttyG(const std::string& path) {
  return Run("stty -g -F " + path + " 2>&1");
}

class TermiosRestoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty.Slave().empty());
    // A line as a login terminal or another program would leave it: cooked, echoing, slow.
    ASSERT_EQ(::system(("stty -F " + pty.Slave() + " 4800 icanon echo icrnl opost onlcr").c_str()),
              0);
    before = SttyG(pty.Slave());
    ASSERT_FALSE(before.empty());
  }

  Pty pty;
  std::string before;
};

TEST_F(TermiosRestoreTest, AProbeThatOnlyOpensAndClosesChangesNothing) {
  int error = 0;
  auto device = TermiosSerial::Open(pty.Slave(), &error);
  ASSERT_TRUE(device) << error;
  // The device does work on a raw line while it is open...
  EXPECT_NE(SttyG(pty.Slave()), before);
  device.reset();
  // ...and gives the line back as it found it.
  EXPECT_EQ(SttyG(pty.Slave()), before);
}

TEST_F(TermiosRestoreTest, AConnectionGivesBackTheSettingsAtClose) {
  int error = 0;
  auto device = TermiosSerial::Open(pty.Slave(), &error);
  ASSERT_TRUE(device) << error;
  DCB dcb;
  ASSERT_TRUE(device->GetCommState(dcb));
  dcb.BaudRate = 14400;  // a rate only termios2 can set
  dcb.fBinary = false;
  ASSERT_TRUE(device->SetCommState(dcb));
  platform::COMMTIMEOUTS t;
  t.ReadTotalTimeoutConstant = 100;
  ASSERT_TRUE(device->SetCommTimeouts(t));
  dcb.BaudRate = 19200;  // and switched again, as a store with a new rate does
  ASSERT_TRUE(device->SetCommState(dcb));
  uint32_t written = 0;
  ASSERT_TRUE(device->WriteFile("z>\r\n", 4, &written));
  EXPECT_EQ(written, 4u);
  device.reset();
  EXPECT_EQ(SttyG(pty.Slave()), before);
  // What was written before the close still reaches the far end, unchanged.
  char got[8] = {};
  EXPECT_EQ(::read(pty.Master(), got, sizeof got), 4);
  EXPECT_EQ(std::string(got, 4), "z>\r\n");
}

TEST_F(TermiosRestoreTest, APortOpenedByItsNameIsLeftAsFound) {
  ::setenv("QELM_COM2", pty.Slave().c_str(), 1);
  int error = 0;
  {
    auto probe = platform::CurrentSerialProvider().CreateFile(u"COM2:", &error);
    ASSERT_TRUE(probe) << error;
  }
  ::unsetenv("QELM_COM2");
  EXPECT_EQ(SttyG(pty.Slave()), before);
}

TEST_F(TermiosRestoreTest, PurgeDropsStaleInputButNotWhatWasWritten) {
  int error = 0;
  auto device = TermiosSerial::Open(pty.Slave(), &error);
  ASSERT_TRUE(device) << error;
  ASSERT_EQ(::write(pty.Master(), "stale", 5), 5);
  uint32_t written = 0;
  ASSERT_TRUE(device->WriteFile("m0\r\n", 4, &written));
  // Both are on the line before the purge: the stale bytes wait at the device, the line at
  // the far end.
  platform::COMSTAT stat;
  EXPECT_TRUE(test_support::WaitUntil(
      [&] { return device->ClearCommError(nullptr, &stat) && stat.cbInQue == 5; }));
  pollfd p{pty.Master(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 10000), 1) << "the written line never reached the far end";
  ASSERT_TRUE(device->PurgeComm(platform::PURGE_TXABORT | platform::PURGE_RXABORT |
                                platform::PURGE_TXCLEAR | platform::PURGE_RXCLEAR));
  ASSERT_TRUE(device->ClearCommError(nullptr, &stat));
  EXPECT_EQ(stat.cbInQue, 0u);
  ASSERT_EQ(::poll(&p, 1, 0), 1) << "the written line was dropped";
  char got[8] = {};
  EXPECT_EQ(::read(pty.Master(), got, sizeof got), 4);
  EXPECT_EQ(std::string(got, 4), "m0\r\n");
}

}  // namespace
