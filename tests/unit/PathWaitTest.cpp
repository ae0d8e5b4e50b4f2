// The waits for the radio's answers across a network path, on the virtual clock: each grows by
// the path's round trip and four times its variation, a gap inside an answer only by the
// variations, and a reply that comes after the longer wait is still refused as late, with the
// path's round trip said. A local line's waits stay those of the cable (RadioExchangeTest).
#include <algorithm>

#include "FakePorts.h"
#include "SerialTestHost.h"
#include "TestSupport.h"
#include "serial/RadioExchange.h"

using namespace testing_support;
using Texts = std::vector<std::string>;

namespace {

// 600 ms round trip, 50 ms variation: waits 800 ms longer, gaps 200 ms.
constexpr platform::PathTiming kPath{true, 600, 50, 800, 200};

class PathWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ports.Line(u"COM1:").path = kPath;
    ASSERT_EQ(CSerialPort::OpenPort(u"115200", false), RC_OK);
  }
  FakeLine& Line() { return ports.Line(u"COM1:"); }
  uint64_t NowMs() { return clock.NowUs() / 1000; }
  int Count(const std::string& line) {
    return static_cast<int>(std::count(host.log.begin(), host.log.end(), line));
  }

  platform::VirtualClock clock;
  platform::ScopedClock useClock{clock};
  FakePorts ports;
  SerialTestHost host;
};

TEST_F(PathWaitTest, AnAnswerARoundTripAwayIsTakenAndTheQuietCountsFromTheCommand) {
  EXPECT_EQ(Count("Path round trip: 600 ms (variation 50 ms)"), 1);
  Line().AnswerLines([](const std::string& cmd) { return cmd + "\r\n0C\r\n>"; }, 600000);
  int32_t value = -1;
  EXPECT_EQ(RadioCommand(u"wn?", &value), 0);
  EXPECT_EQ(value, 12);
  // That answer was read whole: the next command's emptying read waits the cable's 100 ms,
  // then the round trip and the pause.
  uint64_t start = NowMs();
  EXPECT_EQ(RadioCommand(u"wb?", &value), 0);
  EXPECT_EQ(NowMs() - start, 100u + 600 + 50);
  // A line whose answer nobody waited for: the emptying read waits 100 ms + the extension
  // since it went, and takes the answer in, so the next command reads its own.
  ASSERT_TRUE(SendLine(u"sd?"));
  start = NowMs();
  ASSERT_EQ(EmptyInput(), 0);
  EXPECT_GE(NowMs() - start, 100u + 800);
  EXPECT_LT(NowMs() - start, 100u + 800 + 100);
  EXPECT_TRUE(Line().input.empty());
  EXPECT_EQ(RadioCommand(u"pe?", &value), 0);
  // The round trip is logged once a connection while it holds.
  EXPECT_EQ(Count("Path round trip: 600 ms (variation 50 ms)"), 1);
}

TEST_F(PathWaitTest, AGapInsideAnAnswerEndsItOnlyAfterTheVariations) {
  int32_t value = -1;
  // 250 ms between the echo and the rest: more than 100 ms, less than 100 ms + 200 ms.
  Line().onWrite = [this](FakeLine& l) {
    if (l.written.find("\r\n") == std::string::npos || !l.input.empty()) return;
    l.onWrite = nullptr;
    Line().Arrive("wn?\r\n", 600);
    Line().Arrive("0C\r\n>", 850);
  };
  EXPECT_EQ(RadioCommand(u"wn?", &value), 0);
  EXPECT_EQ(value, 12);
  // 400 ms: the answer has ended.
  Line().written.clear();
  Line().onWrite = [this](FakeLine& l) {
    if (l.written.find("\r\n") == std::string::npos || !l.input.empty()) return;
    l.onWrite = nullptr;
    Line().Arrive("wn?\r\n", 600);
    Line().Arrive("0C\r\n>", 1000);
  };
  EXPECT_EQ(RadioCommand(u"wn?", &value), 1);
  EXPECT_EQ(host.log.back(), "ERROR: RadioCommand error 2");
}

TEST_F(PathWaitTest, TheVariationsAreAllowedOnceAReadNotOnEveryGap) {
  // A byte every 250 ms: the first gap is within 100 ms + 200 ms, and spends 150 ms of the
  // 200; the second is not. A radio that drips holds a read no longer than on a cable plus
  // the variations.
  Line().Arrive("abcdef", 0, 250000);
  char buffer[200];
  EXPECT_EQ(CSerialPort::ReadTerminatedStr(buffer, sizeof buffer, '>'), RC_UNDEFINED);
  EXPECT_EQ(host.log.back(), "ERROR: ReadTerminatedStr: ab Len= 2");
  // The emptying read alike: quiet once the allowance is spent.
  Line().input.clear();
  Line().Arrive("abcdef", 0, 250000);
  ASSERT_EQ(CSerialPort::ReadStr(buffer, sizeof buffer), RC_OK);
  EXPECT_STREQ(buffer, "ab");
}

TEST_F(PathWaitTest, TheWaitForTheFirstByteGrowsByTheExtension) {
  int32_t value = -1;
  // 1.7 s: past the cable's 1 s bound, within 1 s + 800 ms.
  Line().AnswerLines([](const std::string& cmd) { return cmd + "\r\n05\r\n>"; }, 1700000);
  EXPECT_EQ(RadioCommand(u"pe?", &value), 0);
  EXPECT_EQ(value, 5);
}

TEST_F(PathWaitTest, AReplyAfterTheLongerWaitIsRefusedAsLateWithThePathsRoundTrip) {
  // ":wit2400" answered 1.9 s after it went; the pause and emptying read after it take about
  // 1 s, so the answer meets the mode query.
  Line().onWrite = [this, done = false](FakeLine& l) mutable {
    if (done || l.written.find("\r\n") == std::string::npos) return;
    done = true;
    Line().Arrive(":wit2400\r\n>", 1900);
  };
  const uint64_t sent = NowMs();
  ASSERT_TRUE(SendLine(u":wit2400"));
  PauseForAnswer(100);
  EXPECT_EQ(NowMs() - sent, 900u);
  ASSERT_EQ(EmptyInput(), 0);
  int32_t value = -1;
  EXPECT_EQ(RadioCommand(u"wb?", &value), 1);
  EXPECT_EQ(Count("ERROR: RadioCommand error 3"), 1);
  EXPECT_EQ(host.log.back(),
            "ERROR: the radio's reply came 1.9 s after the command; the path's round trip is "
            "0.6 s");
  // A refused reply was not the command's own: its answer may still be on the way, so the
  // next emptying read keeps the path's allowances (here 100 ms + the 200 ms gap since the
  // last byte came) instead of the cable's 100 ms.
  const uint64_t start = NowMs();
  ASSERT_EQ(EmptyInput(), 0);
  EXPECT_GE(NowMs() - start, 250u);
}

TEST(PathWaitOnACable, ALateReplyIsRefusedInTheCablesWordsOnly) {
  platform::VirtualClock clock;
  platform::ScopedClock useClock{clock};
  FakePorts ports;
  SerialTestHost host;
  ASSERT_EQ(CSerialPort::OpenPort(u"115200", false), RC_OK);
  ports.Line(u"COM1:").Arrive(":wit2400\r\n>", 400);
  ASSERT_TRUE(SendLine(u":wit2400"));
  PauseForAnswer(100);
  ASSERT_EQ(EmptyInput(), 0);
  int32_t value = -1;
  EXPECT_EQ(RadioCommand(u"wb?", &value), 1);
  EXPECT_EQ(host.log.back(), "ERROR: RadioCommand error 3");
  // The read time-out record was never touched after the open.
  EXPECT_EQ(ports.Line(u"COM1:").timeouts.ReadTotalTimeoutConstant, 100u);
  EXPECT_EQ(CSerialPort::PathRoundTripMs(), -1);
}

}  // namespace
