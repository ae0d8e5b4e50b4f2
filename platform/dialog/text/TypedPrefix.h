#pragma once
// The typed search of a terminal list box: characters typed close together (each within
// kGapMs of the one before) make one prefix, so "19" finds 19200 among the serial rates;
// after a pause the next character starts a new search. One character alone, or the same
// character typed again where no entry begins with the repeated text, moves to the next entry
// after the current one that begins with it, wrapping round. Letter case is ignored.
//
// Nothing here fails: a character that no entry matches moves nothing (-1) and leaves the
// prefix as it was.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class TypedPrefix {
 public:
  static constexpr uint64_t kGapMs = 1000;

  // The entry the character leads to from the current one (-1: none), at the given time.
  int Next(const std::vector<std::u16string>& items, int current, char32_t ch, uint64_t nowMs);
  // The next character starts a new search.
  void Forget() { typed_.clear(); }

 private:
  std::u32string typed_;  // folded
  uint64_t lastMs_ = 0;
};

}  // namespace platform
