#include <algorithm>
#include <random>

#include "FakePorts.h"
#include "SerialTestHost.h"
#include "TestSupport.h"
#include "serial/RadioExchange.h"

using namespace testing_support;
using Texts = std::vector<std::string>;

namespace {

class RadioExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CSerialPort::OpenPort(u"115200", false), RC_OK);
    host.log.clear();
  }
  FakeLine& Line() { return ports.Line(u"COM1:"); }
  uint64_t NowMs() { return clock.NowUs() / 1000; }

  platform::VirtualClock clock;
  platform::ScopedClock useClock{clock};
  FakePorts ports;
  SerialTestHost host;
};

TEST_F(RadioExchangeTest, QueryGivesTheHexValueAfterTheEcho) {
  Line().AnswerLines([](const std::string& cmd) { return cmd + "\r\n0C\r\n>"; });
  int32_t value = -1;
  uint64_t start = NowMs();
  EXPECT_EQ(RadioCommand(u"wn?", &value), 0);
  EXPECT_EQ(value, 12);
  EXPECT_EQ(Line().written, "wn?\r\n");
  // The emptying read's quiet 100 ms and the 50 ms pause come before the reply is read.
  EXPECT_GE(NowMs() - start, 150u);
  EXPECT_LT(NowMs() - start, 160u);
  EXPECT_EQ(host.log, (Texts{"ReadTerminatedStr: wn?\r\n0C\r\n Len= 9"}));
}

TEST_F(RadioExchangeTest, SetAnsweredWithItsEchoGivesZero) {
  Line().AnswerLines([](const std::string& cmd) { return cmd + "\r\n>"; });
  int32_t value = -1;
  EXPECT_EQ(RadioCommand(u"wb1", &value), 0);
  EXPECT_EQ(value, 0);
  // A command that holds the prompt character ends its reply at its own echo.
  EXPECT_EQ(RadioCommand(u"m>", &value), 0);
  EXPECT_EQ(Line().written, "wb1\r\nm>\r\n");
}

TEST_F(RadioExchangeTest, NoPromptIsErrorTwoAfterTheReadsOwnLine) {
  Line().AnswerLines([](const std::string& cmd) { return cmd + "\r\n05\r\n"; });
  int32_t value = -1;
  EXPECT_EQ(RadioCommand(u"pe?", &value), 1);
  EXPECT_EQ(host.log, (Texts{"ERROR: ReadTerminatedStr: pe?\r\n05\r\n Len= 9",
                             "ERROR: RadioCommand error 2"}));
  host.log.clear();
  Line().onWrite = nullptr;  // silence: the wait ends at its bound, the read finds nothing
  EXPECT_EQ(RadioCommand(u"pe?", &value), 1);
  EXPECT_EQ(host.log.back(), "ERROR: RadioCommand error 2");
}

TEST_F(RadioExchangeTest, InputBeforeTheCommandIsDiscarded) {
  Line().Arrive("stale noise>", 0, 2000);
  Line().AnswerLines([](const std::string& cmd) { return cmd + "\r\n1f\r\n>"; });
  int32_t value = -1;
  EXPECT_EQ(RadioCommand(u"wn?", &value), 0);
  EXPECT_EQ(value, 31);
}

TEST_F(RadioExchangeTest, RadioThatKeepsTalkingFailsTheEmptyingRead) {
  std::string endless(400, 'x');
  Line().Arrive(endless, 0, 1000);
  int32_t value = -1;
  EXPECT_EQ(RadioCommand(u"wn?", &value), 1);
  EXPECT_EQ(host.log, (Texts{"ERROR: ReadStr RC_BUFFER_FULL.", "ERROR: RadioCommand error 1"}));
  EXPECT_EQ(Line().written, "");
}

TEST_F(RadioExchangeTest, AReplyWithoutThisCommandsEchoIsAFailure) {
  // No echo at all: the prompt is someone else's.
  Line().AnswerLines([](const std::string&) { return std::string("\r\n0A>"); });
  int32_t value = -1;
  EXPECT_EQ(RadioCommand(u"wn?", &value), 1);
  ASSERT_GE(host.log.size(), 2u);
  EXPECT_EQ(host.log[host.log.size() - 2], "ERROR: FilterBuffer 1.");
  EXPECT_EQ(host.log.back(), "ERROR: RadioCommand error 3");
  EXPECT_EQ(value, -1);
  // The late answer of another command that starts with the same letter.
  Line().AnswerLines([](const std::string&) { return std::string("wb?\r\n01\r\n>"); });
  EXPECT_EQ(RadioCommand(u"wn?", &value), 1);
  EXPECT_EQ(host.log.back(), "ERROR: RadioCommand error 3");
  // A command with a ">" of its own is answered by its echo up to it, and only by that: a late
  // answer ended by its own prompt is not this command's.
  Line().AnswerLines([](const std::string& cmd) { return cmd + "\r\n>"; });
  EXPECT_EQ(RadioCommand(u"m>", &value), 0);
  Line().AnswerLines([](const std::string&) { return std::string("sd0B\r\n>"); });
  EXPECT_EQ(RadioCommand(u"m>", &value), 1);
  EXPECT_EQ(host.log.back(), "ERROR: RadioCommand error 3");
  Line().AnswerLines([](const std::string&) { return std::string("m0\r\n>"); });
  EXPECT_EQ(RadioCommand(u"m>", &value), 1);
  // Its echo after a late answer's text, read up to its own ">", is its answer.
  Line().AnswerLines([](const std::string& cmd) { return "sd0B\r\n" + cmd + "\r\n>"; });
  EXPECT_EQ(RadioCommand(u"m>", &value), 0);
}

TEST_F(RadioExchangeTest, TheEchoIsFoundWhereverTheLineLeavesIt) {
  using namespace std::string_literals;  // the replies hold NUL bytes
  struct Case {
    std::string reply;
    int32_t value;
  };
  // A stray first letter before the echo, a NUL before, inside and after it, an echo in
  // capitals, line breaks inside the echo: each is this command's answer, read after the echo.
  const Case cases[] = {
      {"wwn?0C>"s, 12},        {"\0wn?\r\n0C\r\n>"s, 12},       {"wn\0?\r\n0\0C>"s, 12},
      {"WN?\r\n0C\r\n>"s, 12}, {"\x7f\x01w\r\nn?0c\r\n>"s, 12},
  };
  for (const Case& c : cases) {
    const std::string reply = c.reply;
    Line().AnswerLines([reply](const std::string&) { return reply; });
    int32_t value = -1;
    host.log.clear();
    EXPECT_EQ(RadioCommand(u"wn?", &value), 0) << testing::PrintToString(reply);
    EXPECT_EQ(value, c.value) << testing::PrintToString(reply);
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "ERROR: RadioCommand error 3"), 0);
  }
  // Only the whole echo will do: a part of it, or the echo of a query the value came from.
  for (const char* reply : {"wn0C\r\n>", "n?0C>", "wb?0C>"}) {
    Line().AnswerLines([reply](const std::string&) { return std::string(reply); });
    int32_t value = -1;
    EXPECT_EQ(RadioCommand(u"wn?", &value), 1) << reply;
    EXPECT_EQ(value, -1);
    EXPECT_EQ(host.log.back(), "ERROR: RadioCommand error 3");
  }
}

TEST_F(RadioExchangeTest, SendLineWritesTheTextAndCrLfAndSaysWhetherItWent) {
  EXPECT_TRUE(SendLine(u":wit2400"));
  EXPECT_EQ(Line().written, ":wit2400\r\n");
  Line().failWrites = true;
  EXPECT_FALSE(SendLine("m>"));
  CSerialPort::ClosePort();
  EXPECT_FALSE(SendLine("z>"));
}

TEST_F(RadioExchangeTest, BannerGivesModelAndFirmware) {
  Line().Arrive("\r\n\x01noise Wq 2400, 5.4 stand-in\r\nmodem:rest", 10, 100);
  BannerValues v;
  uint64_t start = NowMs();
  EXPECT_EQ(ReadBanner(&v), 0);
  EXPECT_GE(NowMs() - start, 200u);
  EXPECT_EQ(v.modelNumber, 2400);
  EXPECT_EQ(v.firmwareVersion, 5.4);
  EXPECT_EQ(v.firmwareText, u"5.4");
  EXPECT_EQ(v.bannerText, u"Wq 2400, 5.4 stand-inmodem");
  EXPECT_EQ(firmwareLabel, u"Radio Firmware: 5.4");
  EXPECT_EQ(host.log.back(), "Banner: Wq 2400, 5.4 stand-inmodem");
  firmwareLabel = kFirmwareNotConnected;
}

TEST_F(RadioExchangeTest, BannerWithoutWOrColonFails) {
  Line().Arrive("hello 2410 5.4:");
  BannerValues v;
  EXPECT_EQ(ReadBanner(&v), 1);
  EXPECT_EQ(host.log.back(), "ERROR: FilterBuffer 1.");
  Line().Arrive("W 2410 5.4 and no colon");
  EXPECT_EQ(ReadBanner(&v), 1);
  EXPECT_EQ(host.log.back(), "ERROR: ReadTerminatedStr: W 2410 5.4 and no colon Len= 23");
  Line().Arrive("Wx 24:");  // short banner: missing positions count as empty
  EXPECT_EQ(ReadBanner(&v), 0);
  EXPECT_EQ(v.modelNumber, 24);
  EXPECT_EQ(v.firmwareText, u"");
  EXPECT_EQ(v.firmwareVersion, 0.0);
  firmwareLabel = kFirmwareNotConnected;
}

TEST(HexToInt, DigitsInEitherCaseAndTheTrailingCharacterQuirk) {
  EXPECT_EQ(HexToInt(u"0A"), 10);
  EXPECT_EQ(HexToInt(u"1f"), 31);
  EXPECT_EQ(HexToInt(u"30"), 48);
  EXPECT_EQ(HexToInt(u""), 0);
  EXPECT_EQ(HexToInt(u"5X"), 80);
  EXPECT_EQ(HexToInt(u"\r\n0C"), 12);
}

TEST(ToAscii, KeepsTheNonZeroBytesOfTheUtf16Form) {
  EXPECT_EQ(ToAscii(u"wn?"), "wn?");
  EXPECT_EQ(ToAscii(u"\u0141"), "A\x01");
  EXPECT_EQ(ToAscii(u""), "");
}

TEST(FilterBuffer, MovesTheTextFromTheStartCharacterAndDropsLineBreaks) {
  char buf[32] = "xx\r\nwn?\r\n0C\r\n";
  EXPECT_EQ(FilterBuffer(buf, sizeof buf, 'w'), 0);
  EXPECT_STREQ(buf, "wn?0C");
  char none[8] = "abc";
  EXPECT_EQ(FilterBuffer(none, sizeof none, 'W'), 1);
  EXPECT_STREQ(none, "abc");
  char unterminated[4] = {'W', 'a', 'b', 'c'};
  EXPECT_EQ(FilterBuffer(unterminated, sizeof unterminated, 'W'), 1);
  EXPECT_EQ(std::string(unterminated, 4), "Wabc");
}

// Random bytes, random sizes, no terminating zero guaranteed: the helpers never read or write
// past the buffer (the sanitizer build checks that) and keep their promises.
TEST(Fuzz, FilterBufferHexToIntAndTheBannerParserOnRandomBytes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    size_t size = 1 + rng() % 64;
    std::vector<char> buf(size);
    for (auto& c : buf) c = static_cast<char>(rng() % 4 == 0 ? "W\r\n\0:>"[rng() % 6] : rng());
    std::vector<char> before = buf;
    int r = FilterBuffer(buf.data(), size, 'W');
    if (r == 0) {
      std::string out(buf.data());
      EXPECT_EQ(out.find_first_of("\r\n"), std::string::npos);
      EXPECT_EQ(out.front(), 'W');
    } else {
      EXPECT_EQ(buf, before);
    }
    std::u16string text;
    for (char c : before) text += static_cast<char16_t>(static_cast<unsigned char>(c));
    (void)HexToInt(text);
  }
}

TEST_F(RadioExchangeTest, FuzzBannerReadsNeverOverrun) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    size_t n = rng() % 260;
    for (size_t i = 0; i < n; ++i)
      bytes += static_cast<char>(rng() % 3 == 0 ? "W:\r\n0123.45"[rng() % 11] : rng());
    Line().input.clear();
    Line().Arrive(bytes);
    BannerValues v;
    if (ReadBanner(&v) == 0) {
      EXPECT_EQ(v.bannerText.front(), u'W');
      EXPECT_LE(v.firmwareText.size(), 3u);
    }
  }
  firmwareLabel = kFirmwareNotConnected;
}

}  // namespace
