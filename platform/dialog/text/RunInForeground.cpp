#include "platform/dialog/text/RunInForeground.h"

#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

bool RunInForeground(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int status = -1;
  const bool started = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0;
  if (started) {
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return started && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
