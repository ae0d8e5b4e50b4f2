// The comm API device under wine, against a pseudo-terminal that the wine prefix maps to a COM
// port (QELM_TEST_COM, "COM1"; run-tests.sh maps it to an echo line that sends back every byte
// it gets). Line settings applied and given back at close, the read time-out, purging, the
// bounded event wait, exclusive opening; and the port names of Windows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/devices/DeviceOpener.h"
#include "platform/devices/PortName.h"
#include "platform/devices/win32/Win32Serial.h"

namespace {

using platform::COMMTIMEOUTS;
using platform::COMSTAT;
using platform::DCB;
using platform::Win32Serial;

int64_t MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

class Win32SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* com = std::getenv("QELM_TEST_COM");
    if (!com || !*com) GTEST_SKIP() << "QELM_TEST_COM names no mapped port (run-tests.sh does)";
    device_ = std::string(R"(\\.\)") + com;
  }
  std::unique_ptr<Win32Serial> Open() {
    int error = 0;
    auto port = Win32Serial::Open(device_, &error);
    EXPECT_NE(port, nullptr) << device_ << ": errno " << error;
    return port;
  }
  static void SetRate(Win32Serial& port, uint32_t rate) {
    DCB dcb;
    dcb.BaudRate = rate;
    ASSERT_TRUE(port.SetCommState(dcb)) << rate;
  }
  // Waits (bounded) until the echo line has sent back n bytes.
  static bool WaitForInput(Win32Serial& port, uint32_t n) {
    const auto start = std::chrono::steady_clock::now();
    while (MsSince(start) < 10000) {
      uint32_t errors = 0;
      COMSTAT stat;
      if (!port.ClearCommError(&errors, &stat)) return false;
      if (stat.cbInQue >= n) return true;
      uint32_t events = 0;
      port.SetCommMask(platform::EV_RXCHAR);
      port.WaitCommEvent(&events, 100);
    }
    return false;
  }
  std::string device_;
};

TEST_F(Win32SerialTest, EveryRateIsSetAndTheFoundSettingsComeBackAtClose) {
  uint32_t found = 0;
  {
    auto port = Open();
    ASSERT_NE(port, nullptr);
    DCB dcb;
    ASSERT_TRUE(port->GetCommState(dcb));
    found = dcb.BaudRate;
    // The line is raw 8N1 from the moment it opens.
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    uint32_t before = dcb.BaudRate;
    for (uint32_t rate : {4800u, 9600u, 14400u, 19200u, 38400u, 57600u, 115200u}) {
      DCB asked;
      asked.BaudRate = rate;
      const bool set = port->SetCommState(asked);
      ASSERT_TRUE(port->GetCommState(dcb));
      if (set) {
        EXPECT_EQ(dcb.BaudRate, rate);
      } else {
        // Never a rate other than the caller believes: a refused one leaves the line as it
        // was. Only 14400 may be refused (wine cannot set it on a pseudo-terminal; Windows
        // itself has it).
        EXPECT_EQ(port->LastError(), EINVAL);
        EXPECT_EQ(dcb.BaudRate, before);
        EXPECT_EQ(rate, 14400u);
      }
      before = dcb.BaudRate;
    }
    SetRate(*port, found == 57600 ? 19200 : 57600);
  }
  auto again = Open();
  ASSERT_NE(again, nullptr);
  DCB dcb;
  ASSERT_TRUE(again->GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, found);
}

TEST_F(Win32SerialTest, ASecondOpenIsRefusedAsBusyUntilTheFirstCloses) {
  auto first = Open();
  ASSERT_NE(first, nullptr);
  int error = 0;
  EXPECT_EQ(Win32Serial::Open(device_, &error), nullptr);
  EXPECT_EQ(error, EBUSY);
  first.reset();
  EXPECT_NE(Open(), nullptr);
}

TEST_F(Win32SerialTest, AReadWithNothingThereEndsAtItsTimeOut) {
  auto port = Open();
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->PurgeComm(platform::PURGE_RXCLEAR | platform::PURGE_TXCLEAR));
  COMMTIMEOUTS t;
  t.ReadTotalTimeoutConstant = 100;
  ASSERT_TRUE(port->SetCommTimeouts(t));
  char byte = 0;
  uint32_t got = 7;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(port->ReadFile(&byte, 1, &got));
  const int64_t took = MsSince(start);
  EXPECT_EQ(got, 0u);
  EXPECT_GE(took, 95);
  // Bounded: a loaded machine may be late, but never by seconds.
  EXPECT_LT(took, 3000);
}

TEST_F(Win32SerialTest, WrittenBytesComeBackAndWakeTheEventWait) {
  auto port = Open();
  ASSERT_NE(port, nullptr);
  SetRate(*port, 115200);
  ASSERT_TRUE(port->PurgeComm(platform::PURGE_RXCLEAR));
  ASSERT_TRUE(port->SetCommMask(platform::EV_RXCHAR | platform::EV_ERR));
  uint32_t written = 0;
  ASSERT_TRUE(port->WriteFile("wb?\r", 4, &written));
  EXPECT_EQ(written, 4u);
  EXPECT_TRUE(port->ConfirmWritten(2000));
  uint32_t events = 0;
  ASSERT_TRUE(port->WaitCommEvent(&events, 10000));
  EXPECT_EQ(events, platform::EV_RXCHAR);
  COMMTIMEOUTS t;
  t.ReadTotalTimeoutConstant = 5000;
  ASSERT_TRUE(port->SetCommTimeouts(t));
  char buf[4] = {};
  uint32_t got = 0;
  ASSERT_TRUE(port->ReadFile(buf, 4, &got));
  EXPECT_EQ(std::string(buf, got), "wb?\r");
}

TEST_F(Win32SerialTest, PurgeDropsWhatHasArrived) {
  auto port = Open();
  ASSERT_NE(port, nullptr);
  uint32_t written = 0;
  ASSERT_TRUE(port->WriteFile("xyz", 3, &written));
  ASSERT_TRUE(WaitForInput(*port, 3));
  ASSERT_TRUE(port->PurgeComm(platform::PURGE_RXCLEAR));
  uint32_t errors = 0;
  COMSTAT stat;
  ASSERT_TRUE(port->ClearCommError(&errors, &stat));
  EXPECT_EQ(stat.cbInQue, 0u);
  COMMTIMEOUTS atOnce;
  atOnce.ReadIntervalTimeout = 0xFFFFFFFFu;
  ASSERT_TRUE(port->SetCommTimeouts(atOnce));
  char buf[3];
  uint32_t got = 9;
  ASSERT_TRUE(port->ReadFile(buf, 3, &got));
  EXPECT_EQ(got, 0u);
}

TEST_F(Win32SerialTest, TheEventWaitEndsAtItsBoundWhenNothingComes) {
  auto port = Open();
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->PurgeComm(platform::PURGE_RXCLEAR));
  ASSERT_TRUE(port->SetCommMask(platform::EV_RXCHAR));
  uint32_t events = 5;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(port->WaitCommEvent(&events, 200));
  const int64_t took = MsSince(start);
  EXPECT_EQ(events, 0u);
  EXPECT_EQ(port->LastError(), ETIMEDOUT);
  EXPECT_GE(took, 190);
  EXPECT_LT(took, 3000);
  // The wait was called off whole: the next one still works.
  uint32_t written = 0;
  ASSERT_TRUE(port->WriteFile("k", 1, &written));
  EXPECT_TRUE(port->WaitCommEvent(&events, 10000));
  EXPECT_EQ(events, platform::EV_RXCHAR);
}

TEST(WindowsPortNames, AnyComPortAndItsDeviceNameAreTheSystemsPort) {
  auto twelve = platform::ParsePortName("com12");
  ASSERT_TRUE(twelve);
  EXPECT_EQ(twelve->kind, platform::PortName::Kind::kCom);
  EXPECT_EQ(twelve->Text(), "COM12");
  EXPECT_EQ(twelve->Device(), std::optional<std::string>(R"(\\.\COM12)"));
  auto seven = platform::ParsePortName(R"(\\.\COM7)");
  ASSERT_TRUE(seven);
  EXPECT_EQ(seven->com, 7);
  EXPECT_EQ(platform::ParsePortDevice(u"COM200:")->com, 200);
  EXPECT_EQ(platform::ParsePortDevice(u"\\\\.\\COM4:")->com, 4);
  EXPECT_FALSE(platform::ParsePortDevice(u"com4:"));
  for (const char* wrong : {"COM0", "COM256", "COM01", "COMX", "/dev/ttyS0", "ttyUSB0"}) {
    platform::PortNameFault fault = platform::PortNameFault::kNone;
    EXPECT_FALSE(platform::ParsePortName(wrong, &fault)) << wrong;
    EXPECT_EQ(fault, platform::PortNameFault::kUnknown) << wrong;
  }
}

TEST(WindowsPortNames, ANetworkPortIsRefusedWithItsReason) {
  platform::DeviceOpener opener;
  int error = 0;
  EXPECT_EQ(opener.Open("rfc2217://gw1.example:4001", &error), nullptr);
  EXPECT_NE(error, 0);
  EXPECT_EQ(opener.FailureText(), "network ports are not available on Windows in this version");
  EXPECT_EQ(opener.Open(R"(\\.\COM3x)", &error), nullptr);
  EXPECT_EQ(error, ENOENT);
}

}  // namespace
