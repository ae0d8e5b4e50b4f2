#include "platform/dialog/text/TerminalStopHandlers.h"

#include <signal.h>

namespace platform {

namespace {

volatile sig_atomic_t stopSignal = 0;
constexpr int kStopSignals[] = {SIGHUP, SIGTERM, SIGINT};
struct sigaction previous[3];

void OnStopSignal(int) {
  stopSignal = 1;
}

}  // namespace

TerminalStopHandlers::TerminalStopHandlers() {
  stopSignal = 0;
  struct sigaction act {};
  act.sa_handler = OnStopSignal;
  sigemptyset(&act.sa_mask);
  // No SA_RESTART: the signal must wake the wait for input.
  for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &act, &previous[i]);
}

TerminalStopHandlers::~TerminalStopHandlers() {
  for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &previous[i], nullptr);
}

bool TerminalStopHandlers::Raised() const {
  return stopSignal != 0;
}

}  // namespace platform
