#pragma once
// How a fuzzer reports a broken promise: a message naming it, then a trap, which libFuzzer
// records as a crash with the input that caused it.

#include <cstdio>

namespace fuzz {

[[noreturn]] inline void Broken(const char* promise) {
  std::fprintf(stderr, "broken promise: %s\n", promise);
  __builtin_trap();
}

}  // namespace fuzz
