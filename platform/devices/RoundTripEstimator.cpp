#include "platform/devices/RoundTripEstimator.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

void RoundTripEstimator::AddSample(int64_t roundTripUs) {
  const int64_t r = std::max<int64_t>(roundTripUs, 0);
  if (samples_ == 0) {
    srttUs_ = r;
    rttvarUs_ = r / 2;
  } else {
    // RTTVAR first, from the SRTT the sample is compared with (RFC 6298, 2.3).
    rttvarUs_ = (3 * rttvarUs_ + std::llabs(srttUs_ - r)) / 4;
    srttUs_ = (7 * srttUs_ + r) / 8;
  }
  ++samples_;
}

int64_t RoundTripEstimator::ExtensionUs() const {
  return std::min(srttUs_ + 4 * rttvarUs_, kMaxExtensionUs);
}

int64_t RoundTripEstimator::GapUs() const {
  return std::min(4 * rttvarUs_, kMaxExtensionUs);
}

}  // namespace platform
