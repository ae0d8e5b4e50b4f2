#pragma once
// The round trip of a network path, smoothed as TCP smooths it (RFC 6298): SRTT and RTTVAR from
// round-trip samples, the first sample giving SRTT = R and RTTVAR = R/2, each later one
// RTTVAR = 3/4 RTTVAR + 1/4 |SRTT - R| and then SRTT = 7/8 SRTT + 1/8 R. From them, what a wait
// for an answer across the path adds: the round trip and four times its variation, at most
// kMaxExtensionUs; and what a gap inside an answer adds: four times the variation, at most the
// same. Without a sample (a local line) everything is zero.
//
// Nothing here fails; a sample below zero counts as zero.

#include <cstdint>

namespace platform {

class RoundTripEstimator {
 public:
  static constexpr int64_t kMaxExtensionUs = 3000000;

  void AddSample(int64_t roundTripUs);
  int Samples() const { return samples_; }
  int64_t SmoothedUs() const { return srttUs_; }
  int64_t VariationUs() const { return rttvarUs_; }
  // SRTT + 4 RTTVAR, capped.
  int64_t ExtensionUs() const;
  // 4 RTTVAR, capped.
  int64_t GapUs() const;

 private:
  int samples_ = 0;
  int64_t srttUs_ = 0;
  int64_t rttvarUs_ = 0;
};

}  // namespace platform
