#pragma once
// How a command-line program is told to stop: SIGINT, SIGTERM and SIGHUP are taken by one
// watcher thread (they are blocked everywhere else), which calls the program's handler with
// the signal and how many have come so far, so the handler may use the log and the ports as any
// code may. SIGPIPE is ignored: a closed output makes writes fail, it never ends radio work.
// DieWithParent asks the kernel for SIGTERM when the parent process ends (a fleet's child).
// On Windows the console's Ctrl+C, Ctrl+Break and closing stand for SIGINT, SIGTERM and
// SIGHUP, a fleet's parent passes signals through named events, and DieWithParent watches the
// parent process (win32/StopRequests.h); the handler runs on the thread that brought the
// request, one request at a time, and the signal descriptor is a stand-in for a queue.
//
// Promises on failure: Start returns false when the thread cannot be made; the signals then
// keep their usual effect. Nothing else can fail.

#include <functional>

namespace platform {

class StopSignals {
 public:
  // handler(signal, count): count 1 for the first signal, 2 and on for later ones. Call
  // before any other thread is started, so that every thread inherits the blocked signals.
  static bool Start(std::function<void(int signal, int count)> handler);
  // The first signal received, 0 while none has come.
  static int First();
  // Instead of the watcher thread, for a program that waits in one poll of its own: the stop
  // signals are blocked and come through the descriptor returned (a signalfd; -1 when it
  // cannot be made, and the signals keep their usual effect). Take each with ReadSignal when
  // the descriptor is readable: the signal (0 for none, or one that does not count) and how
  // many have come so far.
  static int OpenSignalFd();
  static int ReadSignal(int fd, int* count);
  static void CloseSignalFd(int fd);
  // Ends the process at once, with no destructor run (for the handler's second signal).
  [[noreturn]] static void ExitNow(int status);
};

// Ends this process with SIGTERM when its parent ends; true when the parent is still there.
// However many times that word comes, it counts as one stop request, and never as a second.
bool DieWithParent();

// The exit status of a program stopped by a signal: 128 + its number.
inline int SignalStatus(int signal) {
  return 128 + signal;
}

}  // namespace platform
