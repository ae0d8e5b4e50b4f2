#include "sim/RadioTransmitter.h"

#include <algorithm>

namespace sim {

uint64_t ByteTimeUs(uint32_t baud) {
  if (baud == 0) baud = 9600;
  return (10000000ull + baud - 1) / baud;
}

uint64_t RadioTransmitter::Send(uint64_t readyUs, uint8_t value, uint32_t baud) {
  if (talking_) return freeAt_;
  uint64_t at = std::max(readyUs, freeAt_) + ByteTimeUs(baud);
  queue_.push_back({{at, value, baud}, nextSeq_++});
  freeAt_ = at;
  return at;
}

void RadioTransmitter::StartTalk(uint64_t fromUs, uint32_t baud, std::string pattern) {
  if (pattern.empty()) pattern = " ";
  freeAt_ = std::max(freeAt_, fromUs);
  talking_ = true;
  talkBaud_ = baud;
  talkPattern_ = std::move(pattern);
  talkIndex_ = 0;
}

bool RadioTransmitter::Peek(LineByte* next) {
  if (queue_.empty() && talking_) {
    uint64_t at = freeAt_ + ByteTimeUs(talkBaud_);
    uint8_t value = static_cast<uint8_t>(talkPattern_[talkIndex_++ % talkPattern_.size()]);
    queue_.push_back({{at, value, talkBaud_}, nextSeq_++});
    freeAt_ = at;
  }
  if (queue_.empty()) return false;
  *next = queue_.front().byte;
  return true;
}

LineByte RadioTransmitter::Take() {
  LineByte b = queue_.front().byte;
  queue_.pop_front();
  return b;
}

void RadioTransmitter::DropUpTo(uint64_t us) {
  while (!queue_.empty() && queue_.front().byte.atUs <= us) queue_.pop_front();
  if (talking_ && queue_.empty() && freeAt_ < us) {
    // Skip the talk in one step rather than byte by byte: it may have run for hours.
    uint64_t bt = ByteTimeUs(talkBaud_);
    uint64_t skipped = (us - freeAt_) / bt;
    freeAt_ += skipped * bt;
    talkIndex_ += skipped;
  }
}

void RadioTransmitter::CutAt(uint64_t us) {
  while (!queue_.empty() && queue_.back().byte.atUs > us) queue_.pop_back();
  talking_ = false;
  freeAt_ = std::max(queue_.empty() ? 0 : queue_.back().byte.atUs, std::min(freeAt_, us));
}

void RadioTransmitter::Withdraw(uint64_t from) {
  uint64_t firstStart = 0;
  bool any = false;
  while (!queue_.empty() && queue_.back().seq >= from) {
    firstStart = queue_.back().byte.atUs - ByteTimeUs(queue_.back().byte.baud);
    any = true;
    queue_.pop_back();
  }
  // The line is free again from where the withdrawn bytes would have started.
  if (any) freeAt_ = std::max(queue_.empty() ? 0 : queue_.back().byte.atUs, firstStart);
}

void RadioTransmitter::Spoil(uint64_t from, NoiseSource& noise) {
  for (Entry& e : queue_)
    if (e.seq >= from) e.byte.value = noise.Next();
}

}  // namespace sim
