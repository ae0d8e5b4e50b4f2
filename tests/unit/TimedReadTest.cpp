// The read rule of the time-out record (TimedRead.h) against a transport that plays bytes at
// set times on its own clock: when a read returns, with what, and how long it waited.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/devices/ReadTransport.h"
#include "platform/devices/TimedRead.h"

namespace {

using platform::COMMTIMEOUTS;
using platform::ReadTransport;
using platform::TimedRead;

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;
constexpr int64_t kMs = 1000;

// Bytes that arrive at set times in chunks (on its own clock, which starts at 0 and moves only
// when the read waits or the test sets it), and optionally a time at which the device is gone.
// Like read(), ReadNow hands over one chunk a call. The loss shows either to the wait (as on
// the simulated device) or, with lossShowsToRead, only to the next ReadNow once every byte
// that came before it is taken (as on a network line).
class ScheduledTransport : public ReadTransport {
 public:
  void Arrive(int64_t atMs, const std::string& bytes) { schedule_[atMs * kMs] += bytes; }
  void GoneAt(int64_t atMs, bool lossShowsToRead = false) {
    goneAtUs_ = atMs * kMs;
    lossShowsToRead_ = lossShowsToRead;
  }
  void SetNowMs(int64_t ms) { nowUs_ = ms * kMs; }

  int64_t NowUs() override { return nowUs_; }
  int64_t NowMs() const { return nowUs_ / kMs; }
  const std::vector<int64_t>& Waits() const { return waits_; }
  int Reads() const { return reads_; }

  int64_t ReadNow(uint8_t* buf, uint32_t n) override {
    ++reads_;
    if (Gone() && !lossShowsToRead_) return kFailed;
    auto chunk = schedule_.begin();
    if (chunk == schedule_.end() || chunk->first > nowUs_) return Gone() ? kFailed : 0;
    std::string& bytes = chunk->second;
    const size_t take = std::min<size_t>(bytes.size(), n);
    std::copy_n(bytes.begin(), take, buf);
    bytes.erase(0, take);
    if (bytes.empty()) schedule_.erase(chunk);
    return static_cast<int64_t>(take);
  }

  Wait WaitReadable(int64_t deadlineUs) override {
    waits_.push_back(deadlineUs);
    int64_t next = schedule_.empty() ? kNoDeadline : schedule_.begin()->first;
    if (goneAtUs_ >= 0) next = std::min(next, goneAtUs_);
    if (next == kNoDeadline && deadlineUs == kNoDeadline) {
      ADD_FAILURE() << "a wait without a bound on a line where nothing will ever come";
      return Wait::kDeadline;
    }
    nowUs_ = std::max(nowUs_, std::min(next, deadlineUs));
    if (Gone()) return lossShowsToRead_ ? Wait::kReadable : Wait::kFailed;
    return next <= deadlineUs ? Wait::kReadable : Wait::kDeadline;
  }

 private:
  bool Gone() const { return goneAtUs_ >= 0 && nowUs_ >= goneAtUs_; }

  std::map<int64_t, std::string> schedule_;
  int64_t nowUs_ = 0;
  int64_t goneAtUs_ = -1;
  bool lossShowsToRead_ = false;
  std::vector<int64_t> waits_;
  int reads_ = 0;
};

COMMTIMEOUTS Timeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) {
  COMMTIMEOUTS t;
  t.ReadIntervalTimeout = interval;
  t.ReadTotalTimeoutMultiplier = multiplier;
  t.ReadTotalTimeoutConstant = constant;
  return t;
}

struct Result {
  bool ok = false;
  std::string bytes;
};

Result Read(ScheduledTransport& line, const COMMTIMEOUTS& t, uint32_t n) {
  std::string buf(n, '\0');
  uint32_t got = 12345;
  Result r;
  r.ok = TimedRead(line, t, buf.data(), n, &got);
  EXPECT_LE(got, n);
  r.bytes = buf.substr(0, std::min(got, n));
  return r;
}

TEST(TimedReadAtOnce, ReturnsAllThatIsThereWithoutWaiting) {
  ScheduledTransport line;
  line.Arrive(0, "ab");
  line.Arrive(5, "cd");
  line.Arrive(50, "e");
  line.SetNowMs(10);
  Result r = Read(line, Timeouts(kMaxDword, 0, 0), 8);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "abcd");
  EXPECT_TRUE(line.Waits().empty());
  EXPECT_EQ(line.NowMs(), 10);
}

TEST(TimedReadAtOnce, ReturnsNothingAtOnceOnAQuietLine) {
  ScheduledTransport line;
  line.Arrive(5, "c");
  Result r = Read(line, Timeouts(kMaxDword, 0, 0), 1);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "");
  EXPECT_TRUE(line.Waits().empty());
  EXPECT_EQ(line.NowMs(), 0);
}

TEST(TimedReadTotal, AQuietLineTimesOutAfterTheConstant) {
  ScheduledTransport line;
  line.Arrive(250, "late");
  Result r = Read(line, Timeouts(0, 0, 100), 1);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "");
  EXPECT_EQ(line.NowMs(), 100);
}

TEST(TimedReadTotal, TheMultiplierCountsEveryByteAsked) {
  ScheduledTransport line;
  line.Arrive(1000, "late");
  Result r = Read(line, Timeouts(0, 10, 100), 5);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "");
  EXPECT_EQ(line.NowMs(), 150);
}

TEST(TimedReadTotal, BytesThatTrickleInEndAtTheTotalBound) {
  ScheduledTransport line;
  line.Arrive(10, "a");
  line.Arrive(40, "b");
  line.Arrive(90, "c");
  line.Arrive(130, "d");
  Result r = Read(line, Timeouts(0, 0, 100), 10);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "abc");
  EXPECT_EQ(line.NowMs(), 100);
  // What came too late is there for the next read.
  EXPECT_EQ(Read(line, Timeouts(0, 0, 100), 10).bytes, "d");
}

TEST(TimedReadTotal, NoTotalWaitsForTheFirstByteHoweverLong) {
  ScheduledTransport line;
  line.Arrive(60000, "x");
  Result r = Read(line, Timeouts(0, 0, 0), 1);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "x");
  EXPECT_EQ(line.NowMs(), 60000);
  ASSERT_FALSE(line.Waits().empty());
  EXPECT_EQ(line.Waits().front(), ReadTransport::kNoDeadline);
}

TEST(TimedReadInterval, AppliesOnlyAfterTheFirstByte) {
  ScheduledTransport line;
  line.Arrive(500, "a");
  line.Arrive(510, "b");
  line.Arrive(600, "c");
  Result r = Read(line, Timeouts(20, 0, 0), 10);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "ab");
  // Twenty milliseconds after the last byte, not after the first.
  EXPECT_EQ(line.NowMs(), 530);
}

TEST(TimedReadInterval, TheNearerOfIntervalAndTotalEndsTheRead) {
  ScheduledTransport intervalFirst;
  intervalFirst.Arrive(10, "a");
  Result r = Read(intervalFirst, Timeouts(30, 0, 100), 4);
  EXPECT_EQ(r.bytes, "a");
  EXPECT_EQ(intervalFirst.NowMs(), 40);

  ScheduledTransport totalFirst;
  totalFirst.Arrive(80, "a");
  r = Read(totalFirst, Timeouts(50, 0, 100), 4);
  EXPECT_EQ(r.bytes, "a");
  EXPECT_EQ(totalFirst.NowMs(), 100);
}

TEST(TimedReadInterval, MaxDwordWithATotalReturnsWithTheFirstBytes) {
  ScheduledTransport line;
  line.Arrive(30, "ab");
  line.Arrive(35, "c");
  Result r = Read(line, Timeouts(kMaxDword, 0, 100), 8);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "ab");
  EXPECT_EQ(line.NowMs(), 30);
  // Nothing there yet: it still waits for the first byte, up to the total.
  r = Read(line, Timeouts(kMaxDword, 0, 100), 8);
  EXPECT_EQ(r.bytes, "c");
  EXPECT_EQ(line.NowMs(), 35);
}

TEST(TimedReadCount, ReturnsAsSoonAsNBytesHaveCome) {
  ScheduledTransport line;
  line.Arrive(10, "a");
  line.Arrive(20, "b");
  line.Arrive(30, "cde");
  Result r = Read(line, Timeouts(0, 0, 1000), 3);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "abc");
  EXPECT_EQ(line.NowMs(), 30);
  // Bytes beyond n stay for the next read, which takes them without waiting.
  const size_t waits = line.Waits().size();
  EXPECT_EQ(Read(line, Timeouts(0, 0, 1000), 2).bytes, "de");
  EXPECT_EQ(line.Waits().size(), waits);
}

TEST(TimedReadCount, AZeroByteReadAsksTheDeviceNothing) {
  ScheduledTransport line;
  line.GoneAt(0);
  Result r = Read(line, Timeouts(0, 0, 100), 0);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(line.Reads(), 0);
  EXPECT_TRUE(line.Waits().empty());
}

TEST(TimedReadFailure, AGoneDeviceFailsTheRead) {
  ScheduledTransport line;
  line.GoneAt(40);
  Result r = Read(line, Timeouts(0, 0, 100), 1);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(line.NowMs(), 40);
}

TEST(TimedReadFailure, BytesTakenBeforeTheLossAreDeliveredAndTheNextReadFails) {
  ScheduledTransport line;
  line.Arrive(10, "ab");
  line.GoneAt(40);
  Result r = Read(line, Timeouts(0, 0, 100), 4);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "ab");
  EXPECT_EQ(line.NowMs(), 40);
  EXPECT_FALSE(Read(line, Timeouts(0, 0, 100), 4).ok);
}

TEST(TimedReadFailure, ALossThatOnlyTheReadSeesStillDeliversWhatCameBefore) {
  ScheduledTransport line;
  line.Arrive(10, "ab");
  line.GoneAt(40, /*lossShowsToRead=*/true);
  Result r = Read(line, Timeouts(0, 0, 100), 4);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "ab");
  EXPECT_FALSE(Read(line, Timeouts(0, 0, 100), 4).ok);
}

}  // namespace
