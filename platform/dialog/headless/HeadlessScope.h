#pragma once
// Installs a headless backend and a virtual clock for the life of a scope (tests).

#include "platform/dialog/headless/HeadlessUi.h"

namespace platform {

struct HeadlessScope {
  VirtualClock clock;
  HeadlessUi ui{clock};
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
