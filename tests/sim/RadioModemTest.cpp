// The radio stand-in's protocol brain on its own: what it answers, byte for byte and at which
// times, what it keeps, and how each fault and a wrong line rate spoil the exchange.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/RadioModem.h"
#include "sim/RadioPresets.h"

namespace {

using sim::RadioConfig;
using sim::RadioFault;
using sim::RadioModem;

constexpr uint32_t kFast = 115200;

// A host on the far end of the line: it writes at `now` and listens for a while.
struct Host {
  explicit Host(const RadioConfig& config = {}) : radio(config) {}

  std::string Say(const std::string& text, uint32_t baud = kFast, uint64_t forUs = 100000) {
    radio.Receive(now, text.data(), text.size(), baud);
    return Listen(baud, forUs);
  }
  std::string Listen(uint32_t baud = kFast, uint64_t forUs = 100000) {
    uint64_t until = now + forUs;
    radio.Tick(until);
    std::string heard;
    times.clear();
    uint64_t at = 0;
    while (radio.PeekOutput(&at) && at <= until) {
      times.push_back(at);
      heard.push_back(static_cast<char>(radio.TakeOutput(baud)));
    }
    now = until;
    return heard;
  }
  void EnterCommandMode(uint32_t baud = kFast) {
    ASSERT_EQ(Say(":wit2400\r\n", baud), ":wit2400\r\n>");
  }

  RadioModem radio;
  uint64_t now = 1000000;
  std::vector<uint64_t> times;  // arrival of each byte of the last Listen
};

bool AllNoise(const std::string& bytes) {
  return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80;
  });
}

RadioConfig WithRegisters(std::map<std::string, uint32_t> registers) {
  RadioConfig c;
  c.registers = std::move(registers);
  return c;
}

TEST(RadioModemCommands, QueryAnswersEchoValueAndPrompt) {
  Host host(WithRegisters({{"wn", 12}, {"pr", 0x30}}));
  host.EnterCommandMode();
  EXPECT_EQ(host.Say("wn?\r\n"), "wn?\r\n0C\r\n>");
  EXPECT_EQ(host.Say("pr?\r\n"), "pr?\r\n30\r\n>");
}

TEST(RadioModemCommands, SetStoresTheHexValueForLaterQueries) {
  Host host;
  host.EnterCommandMode();
  EXPECT_EQ(host.Say("wna\r\n"), "wna\r\n>");
  EXPECT_EQ(host.Say("wn?\r\n"), "wn?\r\n0A\r\n>");
  EXPECT_EQ(host.Say("pe06\r\n"), "pe06\r\n>");
  EXPECT_EQ(host.radio.Register("pe"), 6u);
  EXPECT_EQ(host.radio.Register("wn"), 10u);
}

TEST(RadioModemCommands, WhatItCannotDoIsAnsweredWithErr) {
  RadioConfig old;
  old.model = 2400;
  old.baud = 9600;
  Host host(old);
  host.EnterCommandMode(9600);
  for (const char* line : {"qq?", "wnz", "wn", "sd01", "dx?", "hello"})
    EXPECT_EQ(host.Say(std::string(line) + "\r\n", 9600), std::string(line) + "\r\nERR\r\n>")
        << line;
  EXPECT_EQ(host.Say("\r\n", 9600), "\r\n>");
}

TEST(RadioModemCommands, DataModeHearsNothingButTheWayIn) {
  Host host;
  EXPECT_EQ(host.Say("wn?\r\nhello\r\n"), "");
  EXPECT_FALSE(host.radio.InCommandMode());
  host.EnterCommandMode();
  EXPECT_EQ(host.Say("z>\r\n"), "z>");
  EXPECT_EQ(host.Say("wn?\r\n"), "");
  EXPECT_EQ(host.radio.Commands(), (std::vector<std::string>{":wit2400", "z>"}));
  EXPECT_EQ(host.radio.HostBytes(), "wn?\r\nhello\r\n:wit2400\r\nz>\r\nwn?\r\n");
}

TEST(RadioModemCommands, CommandsAreRecordedInTheirOrder) {
  Host host;
  host.EnterCommandMode();
  for (const char* line : {"wb?", "wn?", "dx?", "pe?", "m>"}) host.Say(std::string(line) + "\r\n");
  EXPECT_EQ(host.radio.Commands(),
            (std::vector<std::string>{":wit2400", "wb?", "wn?", "dx?", "pe?", "m>"}));
}

TEST(RadioModemMemory, StoreSurvivesARestartAndUnstoredChangesDoNot) {
  Host host;
  host.EnterCommandMode();
  host.Say("wn5\r\n");
  EXPECT_EQ(host.Say("m>\r\n"), "m>\r\n>");
  host.Say("wn7\r\n");
  EXPECT_EQ(host.radio.StoredRegister("wn"), 5u);
  host.radio.Restart(host.now);
  EXPECT_EQ(host.Listen(kFast, 1000000), host.radio.BannerText());
  EXPECT_FALSE(host.radio.InCommandMode());
  host.EnterCommandMode();
  EXPECT_EQ(host.Say("wn?\r\n"), "wn?\r\n05\r\n>");
}

TEST(RadioModemMemory, MakerDefaultsResetTheWorkingRegisters) {
  Host host(WithRegisters({{"pr", 0x30}, {"dx", 0}}));
  host.EnterCommandMode();
  EXPECT_EQ(host.Say("m0\r\n"), "m0\r\n>");
  EXPECT_EQ(host.radio.Register("pr"), 0x10u);
  EXPECT_EQ(host.radio.Register("dx"), 4u);
  EXPECT_EQ(host.radio.StoredRegister("pr"), 0x30u);
  EXPECT_EQ(host.radio.Baud(), kFast);  // only model 2400 moves its rate
}

TEST(RadioModemRates, RateSwitchTakesEffectAfterTheLineEnd) {
  Host host;
  host.EnterCommandMode();
  std::string heard = host.Say("sd0B\r\n");
  // Echo and line end come at the old rate; the prompt already at the new one.
  ASSERT_EQ(heard.size(), 7u);
  EXPECT_EQ(heard.substr(0, 6), "sd0B\r\n");
  EXPECT_TRUE(AllNoise(heard.substr(6)));
  uint64_t lineEnd = host.times[5];
  EXPECT_EQ(host.radio.BaudAt(lineEnd - 1), kFast);
  EXPECT_EQ(host.radio.BaudAt(lineEnd), 19200u);
  EXPECT_EQ(host.Say("sd?\r\n", 19200), "sd?\r\n0B\r\n>");
}

TEST(RadioModemRates, TheLineFeedOfTheRateCommandBelongsToItsCarriageReturn) {
  Host host;
  host.EnterCommandMode();
  host.Say("sd0B\r");
  // The LF left right behind the CR, whenever it is read: it is heard at the old rate, where
  // it is only the end of the line, not noise that spoils the next command.
  host.Say("\n");
  host.Say("m>\r\n", 19200);
  EXPECT_EQ(host.radio.Commands().back(), "m>");
  EXPECT_EQ(host.radio.StoreCount(), 1);
}

TEST(RadioModemRates, StoredRateIsTheRateAfterARestart) {
  Host host;
  host.EnterCommandMode();
  host.Say("sd17\r\n");
  host.Say("m>\r\n", 9600);
  host.radio.Restart(host.now);
  EXPECT_EQ(host.radio.Baud(), 9600u);
  EXPECT_EQ(host.radio.StoredBaud(), 9600u);
}

TEST(RadioModemRates, Model2400MakerDefaultsMoveItTo9600) {
  RadioConfig old;
  old.model = 2400;
  old.baud = 19200;
  Host host(old);
  host.EnterCommandMode(19200);
  std::string heard = host.Say("m0\r\n", 19200);
  EXPECT_EQ(heard.substr(0, 4), "m0\r\n");
  EXPECT_EQ(host.radio.Baud(), 9600u);
  EXPECT_EQ(host.Say("pe?\r\n", 9600), "pe?\r\n01\r\n>");
  EXPECT_EQ(host.Say("sd?\r\n", 9600), "sd?\r\n083\r\n>");
}

TEST(RadioModemRates, WrongRateTurnsBothDirectionsIntoNoise) {
  Host host;
  host.radio.Restart(host.now);
  std::string banner = host.Listen(9600, 1000000);
  EXPECT_EQ(banner.size(), host.radio.BannerText().size());
  EXPECT_TRUE(AllNoise(banner));
  EXPECT_EQ(host.Say(":wit2400\r\n", 9600), "");
  EXPECT_FALSE(host.radio.InCommandMode());
  EXPECT_TRUE(host.radio.Commands().empty());
}

TEST(RadioModemRates, NoiseIsTheSameForTheSameSeed) {
  RadioConfig a, b, c;
  c.seed = 77;
  Host first(a), second(b), third(c);
  for (Host* h : {&first, &second, &third}) h->radio.Restart(h->now);
  std::string one = first.Listen(4800, 1000000), two = second.Listen(4800, 1000000),
              other = third.Listen(4800, 1000000);
  EXPECT_EQ(one, two);
  EXPECT_NE(one, other);
}

TEST(RadioModemBanner, ModelAndFirmwareSitWhereTheToolLooks) {
  for (int model : {2400, 2410}) {
    RadioConfig c;
    c.model = model;
    c.firmware = "5.4";
    RadioModem radio(c);
    std::string banner = radio.BannerText();
    ASSERT_LT(banner.size(), 120u);
    EXPECT_EQ(banner.find(':'), banner.size() - 1);
    std::string cleaned;
    for (char ch : banner.substr(banner.find('W')))
      if (ch != '\r' && ch != '\n') cleaned.push_back(ch);
    EXPECT_EQ(cleaned[0], 'W');
    EXPECT_EQ(cleaned.substr(3, 4), std::to_string(model));
    EXPECT_EQ(cleaned.substr(9, 3), "5.4");
  }
}

TEST(RadioModemBanner, SentAfterBootPacedAtTenBitTimes) {
  RadioConfig c;
  c.bootMs = 300;
  Host host(c);
  host.radio.ReconnectCable(host.now + 50000);
  uint64_t plugged = host.now + 50000;
  EXPECT_EQ(host.Listen(kFast, 1000000), host.radio.BannerText());
  ASSERT_GE(host.times.size(), 2u);
  EXPECT_EQ(host.times[0], plugged + 300000 + 87);
  EXPECT_EQ(host.times[1] - host.times[0], 87u);
  EXPECT_EQ(host.radio.RestartCount(), 1);
}

TEST(RadioModemBanner, CableIsRepluggedOnlyWhileThePortStaysOpen) {
  RadioConfig config;
  config.reconnectAfterOpenMs = 500;
  Host host(config);
  // A look at the port list opens and closes the port at once: nobody replugs for that.
  host.radio.OnPortOpened(host.now);
  host.radio.OnPortClosed(host.now + 1000);
  host.now += 1000;
  host.radio.OnPortOpened(host.now);
  host.Listen(kFast, 900000);
  EXPECT_EQ(host.radio.RestartCount(), 1);
  host.Listen(kFast, 2000000);
  EXPECT_EQ(host.radio.RestartCount(), 1);
}

TEST(RadioModemBanner, AReopenRightAfterItsOwnCloseInACommandSessionIsNoReplug) {
  RadioConfig config;
  config.reconnectAfterOpenMs = 500;
  Host host(config);
  host.radio.OnPortOpened(host.now);
  host.Listen(kFast, 1500000);
  ASSERT_EQ(host.radio.RestartCount(), 1);
  host.EnterCommandMode();
  // Closed and opened again right away after a plain command: a replug is still awaited.
  host.Say("wn?\r\n");
  host.radio.OnPortClosed(host.now);
  host.now += 20000;
  host.radio.OnPortOpened(host.now);
  host.Listen(kFast, 1000000);
  ASSERT_EQ(host.radio.RestartCount(), 2);
  host.EnterCommandMode();
  // A reset closes the port after its rate command and opens it again at once.
  host.Say("sd0B\r\n", kFast, 100000);
  host.radio.OnPortClosed(host.now);
  host.now += 20000;
  host.radio.OnPortOpened(host.now);
  host.Listen(kFast, 2000000);
  EXPECT_EQ(host.radio.RestartCount(), 2);
  EXPECT_TRUE(host.radio.InCommandMode());
  // Later than a moment after a rate change, the next open is a replug again.
  host.Say("sd0B\r\n", 19200, 100000);
  host.radio.OnPortClosed(host.now);
  host.now += 1500000;
  host.radio.OnPortOpened(host.now);
  host.Listen(kFast, 1000000);
  EXPECT_EQ(host.radio.RestartCount(), 3);
}

TEST(RadioModemBanner, BootingRadioHearsNothing) {
  Host host;
  host.radio.Restart(host.now);
  EXPECT_EQ(host.Say(":wit2400\r\n", kFast, 1000000), host.radio.BannerText());
  EXPECT_FALSE(host.radio.InCommandMode());
  host.EnterCommandMode();
}

TEST(RadioModemFaults, NoPromptLeavesOutOnlyTheClosingPrompt) {
  RadioConfig c;
  c.commandFaults["wn?"] = RadioFault::kNoPrompt;
  Host host(c);
  host.EnterCommandMode();
  EXPECT_EQ(host.Say("wn?\r\n"), "wn?\r\n00\r\n");
  EXPECT_EQ(host.Say("wb?\r\n"), "wb?\r\n01\r\n>");
}

TEST(RadioModemFaults, SilenceMeansNoEchoAndNoEffect) {
  RadioConfig c;
  c.commandFaults["wn5"] = RadioFault::kSilence;
  Host host(c);
  host.EnterCommandMode();
  EXPECT_EQ(host.Say("wn5\r\n"), "");
  EXPECT_EQ(host.radio.Register("wn"), 0u);
  EXPECT_EQ(host.radio.Commands().back(), "wn5");
  EXPECT_EQ(host.Say("wn?\r\n"), "wn?\r\n00\r\n>");
}

TEST(RadioModemFaults, SilenceForTheWholeRunKeepsTheRadioInDataMode) {
  RadioConfig c;
  c.fault = RadioFault::kSilence;
  Host host(c);
  EXPECT_EQ(host.Say(":wit2400\r\n"), "");
  EXPECT_FALSE(host.radio.InCommandMode());
}

TEST(RadioModemFaults, EndlessTalkNeverStopsAndNeverPrompts) {
  RadioConfig c;
  c.commandFaults["wb?"] = RadioFault::kEndlessTalk;
  Host host(c);
  host.EnterCommandMode();
  std::string first = host.Say("wb?\r\n", kFast, 100000);
  std::string later = host.Listen(kFast, 100000);
  EXPECT_GT(first.size(), 1000u);
  EXPECT_GE(later.size(), 1149u);  // 100 ms at 87 us a byte
  for (const std::string& s : {first.substr(3), later})
    EXPECT_EQ(s.find_first_of(">:W"), std::string::npos);
}

TEST(RadioModemFaults, GarbageSpoilsEchoAndReplyButTheSetTakesEffect) {
  RadioConfig c;
  c.commandFaults["wn9"] = RadioFault::kGarbage;
  Host host(c);
  host.EnterCommandMode();
  std::string heard = host.Say("wn9\r\n");
  EXPECT_EQ(heard.size(), 6u);
  EXPECT_TRUE(AllNoise(heard));
  EXPECT_EQ(host.radio.Register("wn"), 9u);
}

TEST(RadioModemFaults, SlowDelaysTheReplyButNotTheEcho) {
  RadioConfig c;
  c.slowMs = 250;
  c.commandFaults["pe?"] = RadioFault::kSlow;
  Host host(c);
  host.EnterCommandMode();
  EXPECT_EQ(host.Say("pe?\r\n", kFast, 1000000), "pe?\r\n00\r\n>");
  EXPECT_GE(host.times[3] - host.times[2], 250000u);
}

TEST(RadioModemFaults, VanishEndsEverythingAtTheLineEndUntilARestart) {
  RadioConfig c;
  c.commandFaults["dx?"] = RadioFault::kVanish;
  Host host(c);
  host.EnterCommandMode();
  uint64_t wrote = host.now;
  host.Say("dx?\r\n");
  ASSERT_TRUE(host.radio.VanishAtUs().has_value());
  EXPECT_GT(*host.radio.VanishAtUs(), wrote);
  EXPECT_TRUE(host.radio.VanishedBy(host.now));
  EXPECT_EQ(host.Say("wn?\r\n"), "");
  host.radio.Restart(host.now);
  EXPECT_FALSE(host.radio.VanishedBy(host.now));
}

TEST(RadioModemPresets, EachDeviceEntryHasAStartingState) {
  RadioConfig c;
  ASSERT_TRUE(sim::ApplyPreset("corax", &c));
  RadioModem corax(c);
  EXPECT_EQ(corax.Model(), 2410);
  EXPECT_EQ(corax.Baud(), 115200u);
  for (auto [name, value] : std::map<std::string, uint32_t>{
           {"wb", 0}, {"dx", 0}, {"pe", 6}, {"wu", 1}, {"pn", 1}, {"pr", 0x30}})
    EXPECT_EQ(corax.Register(name), value) << name;

  ASSERT_TRUE(sim::ApplyPreset("vireo-us", &c));
  EXPECT_EQ(RadioModem(c).Register("dx"), 4u);
  ASSERT_TRUE(sim::ApplyPreset("shrike", &c));
  EXPECT_EQ(RadioModem(c).Register("dx"), 0u);
  ASSERT_TRUE(sim::ApplyPreset("2400", &c));
  EXPECT_EQ(RadioModem(c).Model(), 2400);
  EXPECT_FALSE(RadioModem(c).Register("dx").has_value());
  EXPECT_FALSE(sim::ApplyPreset("nonesuch", &c));
  EXPECT_EQ(c.model, 2400);
}

}  // namespace
