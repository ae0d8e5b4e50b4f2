#pragma once
// Starts qelm-radio-sim as a child process serving one radio on a pseudo-terminal, with a
// symlink to its device at a path of the test's, and stops it again (SIGTERM, then SIGKILL).

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/Spawn.h"

class SimProcess {
 public:
  // Returns once the device link exists (or after 5 s, with Running() false).
  SimProcess(const std::string& link, std::vector<std::string> options) : link_(link) {
    std::vector<std::string> args = {QELM_RADIO_SIM_PATH, "--quiet", "--path", link};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = test_support::Spawn(args, "/dev/null", nullptr);
    for (int i = 0; i < 500 && !Running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~SimProcess() { Stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Running() const {
    struct stat st {};
    return pid_ > 0 && lstat(link_.c_str(), &st) == 0;
  }
  // The radio's cable is reconnected now: it restarts and sends its banner.
  void Replug() {
    if (pid_ > 0) kill(pid_, SIGUSR1);
  }
  // Ends the stand-in at once, as a radio that loses its power: its end of the line goes away
  // with it.
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  std::string link_;
  pid_t pid_ = -1;
};
