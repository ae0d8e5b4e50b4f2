#include "cli/FleetWaits.h"

#include <algorithm>
#include <optional>

namespace cli {

namespace {

std::string LineOf(const std::string& port, const WaitNotice& n, std::optional<uint64_t> leftMs) {
  return "[" + port + "] " + WaitingText(n.rate, n.ratesTried, leftMs);
}

// On a terminal what changes comes first, where a narrow one does not cut it off.
std::string LiveLineOf(const std::string& port, const WaitNotice& n,
                       std::optional<uint64_t> leftMs) {
  return "[" + port + "] " + LiveWaitingText(n.rate, n.ratesTried, leftMs);
}

}  // namespace

std::string FleetWaits::Take(int child, const std::string& port, const WaitNotice& notice,
                             uint64_t nowMs) {
  if (notice.over) {
    waits_.erase(child);
    return "";
  }
  waits_[child] = Wait{port, notice, nowMs};
  return notice.ratesTried == 1 ? LineOf(port, notice, notice.leftMs) : "";
}

std::vector<std::string> FleetWaits::LiveLines(uint64_t nowMs) const {
  std::vector<std::string> lines;
  for (const auto& [child, w] : waits_) {
    std::optional<uint64_t> left = w.notice.leftMs;
    if (left) *left -= std::min(*left, nowMs - std::min(nowMs, w.seenMs));
    lines.push_back(LiveLineOf(w.port, w.notice, left));
  }
  return lines;
}

}  // namespace cli
