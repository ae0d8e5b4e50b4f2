// The simulated serial device over the virtual clock: which ports open, how waiting moves the
// clock, when the radio's bytes arrive, and what purging, counting and a vanishing radio do.

#include <errno.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/devices/SerialDevice.h"
#include "platform/system/Clock.h"
#include "sim/SimulatedPorts.h"

namespace {

using platform::COMMTIMEOUTS;
using platform::COMSTAT;
using platform::DCB;
using platform::SerialDevice;
using sim::RadioConfig;
using sim::RadioFault;
using sim::SimulatedPorts;

constexpr uint64_t kByteAt115200 = 87;

class SimulatedPortsTest : public ::testing::Test {
 protected:
  // Opens the port the way the program does: line settings first, then the 100 ms time-out.
  std::unique_ptr<SerialDevice> Open(const std::u16string& port, uint32_t baud = 115200) {
    int error = 0;
    std::unique_ptr<SerialDevice> d = ports.CreateFile(port, &error);
    if (!d) return d;
    DCB dcb;
    d->GetCommState(dcb);
    dcb.BaudRate = baud;
    EXPECT_TRUE(d->SetCommState(dcb));
    COMMTIMEOUTS t;
    t.ReadTotalTimeoutConstant = 100;
    d->SetCommTimeouts(t);
    return d;
  }
  int OpenError(const std::u16string& port) {
    int error = 0;
    EXPECT_EQ(ports.CreateFile(port, &error), nullptr);
    return error;
  }
  // Reads one byte at a time, as the program does, until `stop` or a time-out.
  std::string ReadUntil(SerialDevice& d, char stop) {
    std::string got;
    for (;;) {
      char c = 0;
      uint32_t n = 0;
      if (!d.ReadFile(&c, 1, &n) || n == 0) return got;
      got.push_back(c);
      if (c == stop) return got;
    }
  }
  void Write(SerialDevice& d, const std::string& text) {
    uint32_t written = 0;
    ASSERT_TRUE(d.WriteFile(text.data(), static_cast<uint32_t>(text.size()), &written));
    ASSERT_EQ(written, text.size());
  }
  uint32_t InQueue(SerialDevice& d, uint32_t* errors = nullptr) {
    uint32_t e = 0;
    COMSTAT stat;
    EXPECT_TRUE(d.ClearCommError(&e, &stat));
    if (errors) *errors = e;
    return stat.cbInQue;
  }

  platform::VirtualClock clock;
  SimulatedPorts ports{clock};
};

TEST_F(SimulatedPortsTest, OnlyAttachedFreePortsOpen) {
  ports.Attach(u"COM1:", RadioConfig{});
  ports.SetBusy(u"COM2:", true);
  EXPECT_EQ(OpenError(u"COM3:"), ENOENT);
  EXPECT_EQ(OpenError(u"COM2:"), EBUSY);
  {
    auto d = Open(u"COM1:");
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(ports.IsOpen(u"COM1:"));
    EXPECT_EQ(OpenError(u"COM1:"), EBUSY);  // not shared
  }
  EXPECT_FALSE(ports.IsOpen(u"COM1:"));
  EXPECT_NE(Open(u"COM1:"), nullptr);
  EXPECT_EQ(ports.OpenCount(u"COM1:"), 2);
}

TEST_F(SimulatedPortsTest, LineSettingsSurviveReopeningAndNonsenseIsRefused) {
  ports.Attach(u"COM1:", RadioConfig{});
  Open(u"COM1:", 14400).reset();
  auto d = ports.CreateFile(u"COM1:", nullptr);
  DCB dcb;
  ASSERT_TRUE(d->GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, 14400u);
  dcb.BaudRate = 0;
  EXPECT_FALSE(d->SetCommState(dcb));
  EXPECT_EQ(d->LastError(), EINVAL);
  EXPECT_EQ(ports.LineSettings(u"COM1:").BaudRate, 14400u);
}

TEST_F(SimulatedPortsTest, SilentReadCostsExactlyItsTimeOut) {
  ports.Attach(u"COM1:", RadioConfig{});
  auto d = Open(u"COM1:");
  uint64_t before = clock.NowUs();
  char c;
  uint32_t n = 1;
  ASSERT_TRUE(d->ReadFile(&c, 1, &n));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(clock.NowUs() - before, 100000u);
}

TEST_F(SimulatedPortsTest, InternalRadioSendsItsBannerAfterEachOpen) {
  RadioConfig c;
  c.internal = true;
  sim::RadioModem& radio = ports.Attach(u"COM3:", c);
  for (int round = 0; round < 2; ++round) {
    uint64_t opened = clock.NowUs();
    auto d = Open(u"COM3:");
    clock.Advance(250000);
    EXPECT_EQ(InQueue(*d), 0u);  // still booting
    EXPECT_EQ(ReadUntil(*d, ':'), radio.BannerText());
    // The last byte came 10 bit times after the one before it, and the first after booting.
    EXPECT_EQ(clock.NowUs(), opened + 300000 + radio.BannerText().size() * kByteAt115200);
  }
  EXPECT_EQ(radio.RestartCount(), 2);
}

TEST_F(SimulatedPortsTest, ExternalRadioWaitsForItsCable) {
  sim::RadioModem& radio = ports.Attach(u"COM1:", RadioConfig{});
  auto d = Open(u"COM1:");
  clock.Advance(2000000);
  EXPECT_EQ(InQueue(*d), 0u);
  ports.ScheduleReconnect(u"COM1:", 500000);
  uint32_t events = 0;
  d->SetCommMask(platform::EV_RXCHAR | platform::EV_ERR);
  uint64_t before = clock.NowUs();
  ASSERT_TRUE(d->WaitCommEvent(&events, 1000));
  EXPECT_EQ(events, platform::EV_RXCHAR);
  EXPECT_EQ(clock.NowUs() - before, 500000 + 300000 + kByteAt115200);
  clock.Advance(100000);
  EXPECT_EQ(InQueue(*d), radio.BannerText().size());
}

TEST_F(SimulatedPortsTest, ReconnectAfterOpenRepeatsOnEveryOpen) {
  RadioConfig c;
  c.reconnectAfterOpenMs = 1000;
  sim::RadioModem& radio = ports.Attach(u"COM1:", c);
  for (int round = 1; round <= 2; ++round) {
    auto d = Open(u"COM1:");
    clock.Advance(1200000);
    EXPECT_EQ(InQueue(*d), 0u);
    clock.Advance(200000);
    EXPECT_EQ(InQueue(*d), radio.BannerText().size());
    EXPECT_EQ(radio.RestartCount(), round);
  }
}

TEST_F(SimulatedPortsTest, CommandRoundTripArrivesPaced) {
  sim::RadioModem& radio = ports.Attach(u"COM1:", RadioConfig{});
  auto d = Open(u"COM1:");
  Write(*d, ":wit2400\r\n");
  EXPECT_EQ(ReadUntil(*d, '>'), ":wit2400\r\n>");
  Write(*d, "wn?\r\n");
  uint64_t wrote = clock.NowUs();
  uint32_t events = 0;
  d->SetCommMask(platform::EV_RXCHAR);
  ASSERT_TRUE(d->WaitCommEvent(&events, 1000));
  // The 'w' crossed to the radio in one byte time and its echo came back in another.
  EXPECT_EQ(clock.NowUs() - wrote, 2 * kByteAt115200);
  EXPECT_EQ(ReadUntil(*d, '>'), "wn?\r\n00\r\n>");
  EXPECT_EQ(radio.Commands().back(), "wn?");
}

TEST_F(SimulatedPortsTest, WaitEndsAtOnceForWaitingBytesAndAtItsBoundOtherwise) {
  ports.Attach(u"COM1:", RadioConfig{});
  auto d = Open(u"COM1:");
  d->SetCommMask(platform::EV_RXCHAR | platform::EV_ERR);
  uint32_t events = 7;
  uint64_t before = clock.NowUs();
  EXPECT_FALSE(d->WaitCommEvent(&events, 1000));
  EXPECT_EQ(events, 0u);
  EXPECT_EQ(clock.NowUs() - before, 1000000u);
  Write(*d, ":wit2400\r\n");
  clock.Advance(50000);
  before = clock.NowUs();
  EXPECT_TRUE(d->WaitCommEvent(&events, 1000));
  EXPECT_EQ(clock.NowUs(), before);
}

TEST_F(SimulatedPortsTest, PurgeDropsWhatHasArrivedButTheRadioTalksOn) {
  sim::RadioModem& radio = ports.Attach(u"COM1:", RadioConfig{});
  auto d = Open(u"COM1:");
  radio.ReconnectCable(clock.NowUs());
  clock.Advance(300000 + 10 * kByteAt115200);
  EXPECT_EQ(InQueue(*d), 10u);
  ASSERT_TRUE(d->PurgeComm(platform::PURGE_RXCLEAR | platform::PURGE_RXABORT));
  EXPECT_EQ(InQueue(*d), 0u);
  clock.Advance(100000);
  EXPECT_EQ(InQueue(*d), radio.BannerText().size() - 10);
}

TEST_F(SimulatedPortsTest, WrongRateDeliversNoiseAndFrameErrors) {
  ports.Attach(u"COM1:", RadioConfig{});
  auto d = Open(u"COM1:", 9600);
  ports.ScheduleReconnect(u"COM1:", 0);
  clock.Advance(400000);
  uint32_t errors = 0;
  uint32_t count = InQueue(*d, &errors);
  EXPECT_GT(count, 3u);
  EXPECT_EQ(errors, platform::CE_FRAME);
  std::string heard = ReadUntil(*d, ':');
  EXPECT_EQ(heard.size(), count);  // no ':' ever arrives, so the read ran into its time-out
  for (char ch : heard) EXPECT_GE(static_cast<unsigned char>(ch), 0x80);
}

TEST_F(SimulatedPortsTest, EndlessTalkOverflowsTheInputQueue) {
  RadioConfig c;
  c.fault = RadioFault::kEndlessTalk;
  ports.Attach(u"COM1:", c);
  auto d = Open(u"COM1:");
  Write(*d, ":wit2400\r\n");
  clock.Advance(3600ull * 1000000);  // an hour of chatter costs nothing
  uint32_t errors = 0;
  EXPECT_EQ(InQueue(*d, &errors), 4096u);
  EXPECT_EQ(errors, platform::CE_RXOVER);
  char buf[300];
  uint32_t n = 0;
  ASSERT_TRUE(d->PurgeComm(platform::PURGE_RXCLEAR));
  ASSERT_TRUE(d->ReadFile(buf, sizeof buf, &n));
  EXPECT_EQ(n, sizeof buf);
}

TEST_F(SimulatedPortsTest, VanishedRadioFailsEverythingUntilItIsBack) {
  RadioConfig c;
  c.commandFaults["wb?"] = RadioFault::kVanish;
  ports.Attach(u"COM1:", c);
  auto d = Open(u"COM1:");
  Write(*d, ":wit2400\r\n");
  ReadUntil(*d, '>');
  Write(*d, "wb?\r\n");
  // Part of the echo makes it; the read that meets the end fails instead of waiting.
  std::string heard;
  char ch = 0;
  uint32_t n = 0;
  while (d->ReadFile(&ch, 1, &n) && n == 1) heard.push_back(ch);
  EXPECT_EQ(d->LastError(), EIO);
  EXPECT_EQ(heard, "wb");
  d->SetCommMask(platform::EV_RXCHAR | platform::EV_ERR);
  uint32_t events = 0;
  EXPECT_TRUE(d->WaitCommEvent(&events, 1000));
  EXPECT_EQ(events, platform::EV_ERR);
  EXPECT_FALSE(d->WriteFile("x", 1, &n));
  uint32_t errors = 0;
  COMSTAT stat;
  EXPECT_FALSE(d->ClearCommError(&errors, &stat));
  d.reset();
  EXPECT_EQ(OpenError(u"COM1:"), ENOENT);
  ports.ScheduleReconnect(u"COM1:", 0);
  EXPECT_NE(Open(u"COM1:"), nullptr);
}

TEST_F(SimulatedPortsTest, BytesSentWhileClosedAreLost) {
  sim::RadioModem& radio = ports.Attach(u"COM1:", RadioConfig{});
  radio.ReconnectCable(clock.NowUs());
  clock.Advance(1000000);
  auto d = Open(u"COM1:");
  EXPECT_EQ(InQueue(*d), 0u);
}

}  // namespace
