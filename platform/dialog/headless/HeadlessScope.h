#pragma once
// Installs a headless backend and a virtual clock for the life of a scope (tests).

#include "platform/dialog/headless/HeadlessBackend.h"

namespace platform {

struct HeadlessScope {
  VirtualClock clock;
  HeadlessBackend ui{clock};
  HeadlessScope() {
    SetClock(&clock);
    SetBackend(&ui);
  }
  ~HeadlessScope() {
    SetBackend(nullptr);
    SetClock(nullptr);
  }
};

}  // namespace platform
