#include "platform/system/StopSignals.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace platform {

namespace {

std::atomic<int> firstSignal{0};

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
  return set;
}

}  // namespace

bool StopSignals::Start(std::function<void(int, int)> handler) {
  ::signal(SIGPIPE, SIG_IGN);
  sigset_t set = StopSet();
  if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  try {
    std::thread([set, handler = std::move(handler)] {
      int count = 0;
      for (;;) {
        int signal = ::sigwaitinfo(&set, nullptr);
        if (signal <= 0) continue;
        int expected = 0;
        firstSignal.compare_exchange_strong(expected, signal);
        handler(signal, ++count);
      }
    }).detach();
  } catch (...) {
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return false;
  }
  return true;
}

int StopSignals::First() {
  return firstSignal.load();
}

void StopSignals::ExitNow(int status) {
  ::_exit(status);
}

bool DieWithParent() {
  const pid_t parent = ::getppid();
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  // The parent may have gone before the request was made; then nobody would send it.
  if (::getppid() != parent || parent == 1) {
    ::kill(::getpid(), SIGTERM);
    return false;
  }
  return true;
}

}  // namespace platform
