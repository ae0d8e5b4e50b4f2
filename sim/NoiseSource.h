#pragma once
// The bytes a listener makes of a line sent at another rate, or of a radio that has lost its
// wits: a deterministic stream drawn from a seed (the same seed and the same calls give the
// same bytes). Every byte has its top bit set, so line noise can never pass for one of the
// protocol's characters (">", ":", "W", CR, LF or any other ASCII). Nothing here can fail.

#include <cstdint>

namespace sim {

class NoiseSource {
 public:
  explicit NoiseSource(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
  uint8_t Next();

 private:
  uint32_t state_;
};

}  // namespace sim
