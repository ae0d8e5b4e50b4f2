#pragma once
// A group of child processes run side by side, each a program with its arguments, whose
// standard output and standard error come back to the parent line by line, as they are
// written, together with each child's end. The parent waits in one place (Next) for whatever
// happens first in any child. Children inherit the environment and standard input is closed
// for them (nobody can answer a question in a group).
//
// Promises on failure: Start returns -1 when the child cannot be started (and nothing is left
// behind); a program that cannot be executed ends with status 127. Next never hangs once every
// child has ended and its output is drained; a last line without a line end is still given.
//
// Each child runs in a session of its own, without a controlling terminal: a Ctrl+C at the
// terminal reaches the parent only, which passes it on with Signal (once, not twice). A child
// gets SIGTERM when the parent ends, however it ends. Children start with no signal blocked
// and SIGPIPE at its default, whatever the parent has set for itself. On Windows a child is
// detached from the console instead, and a signal reaches it through its stop events
// (platform/system/win32/StopRequests.h).

#include <mutex>
#include <string>
#include <vector>

namespace platform {

// The signal that ends a child outright, whatever it heeds (SIGKILL; on Windows the process is
// terminated).
inline constexpr int kKillSignal = 9;

class ProcessGroup {
 public:
  ProcessGroup() = default;
  ~ProcessGroup();  // ends (SIGKILL) and reaps children still running
  ProcessGroup(const ProcessGroup&) = delete;
  ProcessGroup& operator=(const ProcessGroup&) = delete;

  // Starts program with args (args[0] included); the child's index, or -1.
  int Start(const std::vector<std::string>& args);

  struct Event {
    // kWake: the descriptor given to Next is readable (nothing read from it); kIdle: the
    // time given to Next passed without anything else happening.
    enum Kind { kOutLine, kErrLine, kEnded, kWake, kIdle } kind = kEnded;
    int child = -1;
    std::string line;  // without its line end
    int status = 0;    // kEnded: exit status, or 128 + signal
  };
  // Waits for the next line or end of any child; false when every child has ended and
  // everything it wrote has been given. With wakeFd, its readiness is an event too (a
  // signalfd, a self-pipe); with idleMs >= 0, Next returns kIdle after that long without news.
  // A child whose pipes are closed is reaped without blocking: no lock is held across a wait.
  bool Next(Event* event, int wakeFd = -1, int idleMs = -1);
  // Sends a signal to one child while it runs.
  void Signal(int child, int signal);
  // Sends a signal to every child still running. May be called from any thread.
  void Signal(int signal);
  // The process number of a child (-1 for no such child).
  int Pid(int child) const;
  // How many children have been started and not yet reported ended.
  int Running() const { return running_; }

 private:
  struct Child;
  void ReadPipe(Child& c, int which);
  std::vector<Child*> children_;
  std::vector<Event> pending_;
  std::mutex lock_;  // children_ and each child's end, against Signal from another thread
  int running_ = 0;
};

}  // namespace platform
