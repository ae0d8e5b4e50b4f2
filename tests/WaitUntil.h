#pragma once
// Waiting in a real-time test for something to become true, instead of sleeping for a time
// that a busy machine may not honour. The bound is generous (a machine running the whole
// suite in parallel may be slow to schedule anyone); the condition is looked at every few
// milliseconds and once more at the end, so a condition that holds is never reported late
// by more than one look.

#include <chrono>
#include <thread>

namespace test_support {

// True as soon as condition() is; false when it still is not after boundMs.
template <class Condition>
bool WaitUntil(Condition condition, int boundMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace test_support
