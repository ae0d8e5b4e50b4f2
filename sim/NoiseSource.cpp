#include "sim/NoiseSource.h"

namespace sim {

uint8_t NoiseSource::Next() {
  // xorshift32: cheap, and plenty for bytes nobody is meant to understand.
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return static_cast<uint8_t>(0x80 | (state_ >> 24));
}

}  // namespace sim
