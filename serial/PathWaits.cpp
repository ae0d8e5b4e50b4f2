#include "serial/PathWaits.h"

#include <algorithm>

#include "platform/system/Clock.h"

void JitterAllowance::Took(bool afterGap) {
  const uint64_t now = platform::NowMs();
  if (afterGap && now > lastMs_ + kLineQuietMs) {
    const uint64_t over = now - lastMs_ - kLineQuietMs;
    leftMs_ = over >= leftMs_ ? 0 : leftMs_ - static_cast<uint32_t>(over);
  }
  lastMs_ = now;
}

EmptyingQuiet::EmptyingQuiet(const platform::PathTiming& path, uint64_t lastReadMs,
                             uint64_t lastWriteMs, bool answered)
    : path_(path),
      startMs_(platform::NowMs()),
      lastReadMs_(lastReadMs),
      lastWriteMs_(lastWriteMs),
      answered_(answered),
      jitter_(path.gapMs) {}

uint32_t EmptyingQuiet::Left() const {
  if (path_.extensionMs == 0) return kLineQuietMs;
  const uint64_t until =
      answered_ && !took_
          ? std::max(startMs_, lastReadMs_) + kLineQuietMs
          : std::max({startMs_ + kLineQuietMs, lastReadMs_ + kLineQuietMs + jitter_.Left(),
                      lastWriteMs_ + kLineQuietMs + path_.extensionMs});
  const uint64_t now = platform::NowMs();
  return until > now ? static_cast<uint32_t>(until - now) : 0;
}

void EmptyingQuiet::Took() {
  jitter_.Took(took_);
  took_ = true;
  lastReadMs_ = platform::NowMs();
}
