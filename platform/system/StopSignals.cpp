#include "platform/system/StopSignals.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace platform {

namespace {

std::atomic<int> firstSignal{0};
std::atomic<pid_t> watchedParent{0};

// The kernel's word that the parent has gone: it comes once for each thread the parent had
// (the child passes from one to the next before it reaches init), so it is one request to
// stop, never a second one.
bool FromDeadParent(const siginfo_t& info) {
  const pid_t parent = watchedParent.load();
  // Sent by the kernel on the exiting parent's behalf: its number, or none once it is gone.
  const bool fromParent = info.si_pid == parent || info.si_pid == 0;
  return parent > 0 && info.si_signo == SIGTERM && info.si_code == SI_USER && fromParent &&
         ::getppid() != parent;
}

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
        siginfo_t info{};
        int signal = ::sigwaitinfo(&set, &info);
        if (signal <= 0) continue;
        if (count > 0 && FromDeadParent(info)) continue;
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

int StopSignals::OpenSignalFd() {
  ::signal(SIGPIPE, SIG_IGN);
  sigset_t set = StopSet();
  if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
  const int fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd < 0) ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  return fd;
}

int StopSignals::ReadSignal(int fd, int* count) {
  static int seen = 0;
  signalfd_siginfo si{};
  if (::read(fd, &si, sizeof si) != static_cast<ssize_t>(sizeof si)) return 0;
  siginfo_t info{};
  info.si_signo = static_cast<int>(si.ssi_signo);
  info.si_code = si.ssi_code;
  info.si_pid = static_cast<pid_t>(si.ssi_pid);
  if (seen > 0 && FromDeadParent(info)) return 0;
  int expected = 0;
  firstSignal.compare_exchange_strong(expected, info.si_signo);
  *count = ++seen;
  return info.si_signo;
}

void StopSignals::CloseSignalFd(int fd) {
  if (fd >= 0) ::close(fd);
}

int StopSignals::First() {
  return firstSignal.load();
}

void StopSignals::ExitNow(int status) {
  ::_exit(status);
}

bool DieWithParent() {
  const pid_t parent = ::getppid();
  watchedParent = parent;
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  // The parent may have gone before the request was made; then nobody would send it.
  if (::getppid() != parent || parent == 1) {
    ::kill(::getpid(), SIGTERM);
    return false;
  }
  return true;
}

}  // namespace platform
