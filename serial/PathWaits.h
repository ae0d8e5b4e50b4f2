#pragma once
// How long the serial port's reads wait for the radio's next byte when the line is at the far
// end of a network path (platform::PathTiming), and the cable's waits when it is not. Plain
// arithmetic on the platform clock: nothing here reads, writes or logs.

#include <cstdint>

#include "platform/devices/SerialDevice.h"

// The quiet that ends a read on a cable: the port's 100 ms per-byte read time-out.
constexpr uint32_t kLineQuietMs = 100;

// What a path's jitter may add to the gaps of one read, all of them together: a path delays
// each byte by at most its longest delay, so however many gaps it lengthens, it lengthens them
// by no more than its spread in all. A radio that drips its bytes slower than the read time-out
// still ends the read once the allowance is spent, as it ends it at its first slow gap on a
// cable, instead of holding the read for as many gaps as the buffer has bytes.
class JitterAllowance {
 public:
  explicit JitterAllowance(uint32_t gapMs) : leftMs_(gapMs) {}
  uint32_t Left() const { return leftMs_; }
  // A byte was taken; afterGap: a byte came before it in this read.
  void Took(bool afterGap);

 private:
  uint32_t leftMs_;
  uint64_t lastMs_ = 0;
};

// The emptying read's wait: until the line has been quiet long enough (always the cable's
// quiet on a local line). Across a network path an answer to what went last may still be a
// round trip away, and a byte the path's jitter held back may follow a gap: the read ends once
// the line has been quiet the cable's time plus the jitter allowance since the last byte came,
// and the cable's time plus the path's extension since the last byte went. Once the answer to
// what went last has been read to its prompt, nothing of it is on the way any more: the path
// delays the radio's bytes but keeps their order, so what comes after a whole answer comes at
// the radio's own pace, and until a byte comes the line is quiet after the cable's time.
class EmptyingQuiet {
 public:
  // lastReadMs, lastWriteMs: when the last byte came and went (the platform clock);
  // answered: the answer to what went last has been read whole.
  EmptyingQuiet(const platform::PathTiming& path, uint64_t lastReadMs, uint64_t lastWriteMs,
                bool answered);
  // How long the next byte may still be waited for, in ms; 0: the line is quiet.
  uint32_t Left() const;
  // A byte came.
  void Took();

 private:
  platform::PathTiming path_;
  uint64_t startMs_;
  uint64_t lastReadMs_;
  uint64_t lastWriteMs_;
  bool answered_;
  bool took_ = false;
  JitterAllowance jitter_;
};
