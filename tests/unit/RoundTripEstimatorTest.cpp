// The path's round trip as TCP smooths it (RFC 6298), and what it adds to a wait.
#include <gtest/gtest.h>

#include "platform/devices/RoundTripEstimator.h"

using platform::RoundTripEstimator;

namespace {

TEST(RoundTripEstimator, WithoutASampleNothingIsAdded) {
  RoundTripEstimator path;
  EXPECT_EQ(path.Samples(), 0);
  EXPECT_EQ(path.SmoothedUs(), 0);
  EXPECT_EQ(path.VariationUs(), 0);
  EXPECT_EQ(path.ExtensionUs(), 0);
  EXPECT_EQ(path.GapUs(), 0);
}

TEST(RoundTripEstimator, FollowsTheArithmeticOfRfc6298) {
  RoundTripEstimator path;
  // The first sample: SRTT = R, RTTVAR = R/2.
  path.AddSample(600000);
  EXPECT_EQ(path.SmoothedUs(), 600000);
  EXPECT_EQ(path.VariationUs(), 300000);
  EXPECT_EQ(path.ExtensionUs(), 600000 + 4 * 300000);
  EXPECT_EQ(path.GapUs(), 4 * 300000);
  // Then RTTVAR = 3/4 RTTVAR + 1/4 |SRTT - R| (with the old SRTT), SRTT = 7/8 SRTT + 1/8 R.
  path.AddSample(680000);
  EXPECT_EQ(path.VariationUs(), (3 * 300000 + 80000) / 4);
  EXPECT_EQ(path.SmoothedUs(), (7 * 600000 + 680000) / 8);
  const int64_t var = path.VariationUs(), srtt = path.SmoothedUs();
  path.AddSample(520000);
  EXPECT_EQ(path.VariationUs(), (3 * var + (srtt - 520000)) / 4);
  EXPECT_EQ(path.SmoothedUs(), (7 * srtt + 520000) / 8);
  EXPECT_EQ(path.Samples(), 3);
}

TEST(RoundTripEstimator, ASteadyPathSettlesOnItsRoundTrip) {
  RoundTripEstimator path;
  for (int i = 0; i < 40; ++i) path.AddSample(300000);
  EXPECT_EQ(path.SmoothedUs(), 300000);
  EXPECT_LT(path.VariationUs(), 1000);
  EXPECT_LT(path.ExtensionUs(), 304000);
  // A sample below zero (a clock that stepped) counts as zero, never as a negative wait.
  RoundTripEstimator odd;
  odd.AddSample(-5);
  EXPECT_EQ(odd.SmoothedUs(), 0);
  EXPECT_EQ(odd.ExtensionUs(), 0);
}

TEST(RoundTripEstimator, TheExtensionsAreCappedAtThreeSeconds) {
  RoundTripEstimator path;
  path.AddSample(2000000);  // 2 s + 4 * 1 s
  EXPECT_EQ(path.ExtensionUs(), RoundTripEstimator::kMaxExtensionUs);
  EXPECT_EQ(path.GapUs(), RoundTripEstimator::kMaxExtensionUs);
  EXPECT_EQ(path.SmoothedUs(), 2000000);  // the estimate itself is not capped
}

}  // namespace
