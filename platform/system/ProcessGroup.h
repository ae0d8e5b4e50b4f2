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

#include <string>
#include <vector>

namespace platform {

class ProcessGroup {
 public:
  ProcessGroup() = default;
  ~ProcessGroup();  // ends (SIGKILL) and reaps children still running
  ProcessGroup(const ProcessGroup&) = delete;
  ProcessGroup& operator=(const ProcessGroup&) = delete;

  // Starts program with args (args[0] included); the child's index, or -1.
  int Start(const std::vector<std::string>& args);

  struct Event {
    enum Kind { kOutLine, kErrLine, kEnded } kind = kEnded;
    int child = -1;
    std::string line;  // without its line end
    int status = 0;    // kEnded: exit status, or 128 + signal
  };
  // Waits for the next line or end of any child; false when every child has ended and
  // everything it wrote has been given.
  bool Next(Event* event);

 private:
  struct Child;
  void Drain(Child& c, int which);
  std::vector<Child*> children_;
  std::vector<Event> pending_;
};

}  // namespace platform
