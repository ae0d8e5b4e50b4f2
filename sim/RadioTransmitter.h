#pragma once
// The radio's sending side of the serial line: bytes queued in order, each fully on the line
// 10 bit times after the previous one (or after the moment it was ready), at the rate the radio
// sent it at. Endless talk is produced lazily, one byte whenever someone looks, so a radio that
// never stops costs nothing until read; while it talks nothing else gets on the line. Every byte
// carries a sequence number so that a reply's bytes not yet taken can be withdrawn or spoiled
// after the fact. Nothing here can fail.

#include <cstdint>
#include <deque>
#include <string>

#include "sim/NoiseSource.h"

namespace sim {

// One byte as it leaves the radio: when it is fully on the line, what it is, at which rate.
struct LineByte {
  uint64_t atUs = 0;
  uint8_t value = 0;
  uint32_t baud = 0;
};

// Ten bit times (start, 8 data, stop) at a rate, rounded up; a rate of 0 counts as 9600.
uint64_t ByteTimeUs(uint32_t baud);

class RadioTransmitter {
 public:
  // Queues a byte that may start no earlier than readyUs; returns when it is on the line.
  uint64_t Send(uint64_t readyUs, uint8_t value, uint32_t baud);
  // From fromUs on, the radio repeats `pattern` for ever.
  void StartTalk(uint64_t fromUs, uint32_t baud, std::string pattern);
  bool Talking() const { return talking_; }

  bool Peek(LineByte* next);
  LineByte Take();  // only after Peek said true
  void DropUpTo(uint64_t us);
  // A restart or power loss at `us`: nothing scheduled after it goes out, the talk stops.
  void CutAt(uint64_t us);

  // Sequence number the next queued byte will get.
  uint64_t NextSeq() const { return nextSeq_; }
  // Withdraws the bytes from sequence number `from` on that nobody has taken yet.
  void Withdraw(uint64_t from);
  // Replaces the bytes from sequence number `from` on that nobody has taken yet by noise.
  void Spoil(uint64_t from, NoiseSource& noise);
  uint64_t FreeAtUs() const { return freeAt_; }

 private:
  struct Entry {
    LineByte byte;
    uint64_t seq;
  };
  std::deque<Entry> queue_;
  uint64_t nextSeq_ = 0;
  uint64_t freeAt_ = 0;
  bool talking_ = false;
  uint32_t talkBaud_ = 0;
  std::string talkPattern_;
  size_t talkIndex_ = 0;
};

}  // namespace sim
