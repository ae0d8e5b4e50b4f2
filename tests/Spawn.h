#pragma once
// Starting a helper program from a test or a benchmark (a radio stand-in, ser2net, qelm-cli):
// fork and exec, with its standard output and error sent where the caller says. A program that
// cannot be started ends its child with status 127, as a shell reports it.
//
// A program that stands in for hardware (a radio, the serial server in front of it) runs as a
// device: ahead of the machine's other work, as hardware keeps its own time however busy the
// computer is. Otherwise a radio stand-in starved by a loaded machine answers later than the
// tool's fixed 100 ms byte time-out, and a test fails for the machine, not for the tool. Where
// the test may not raise a priority (not root), it runs as it is.

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace test_support {

// How much a device's niceness is lowered below the test's.
constexpr int kDeviceNiceness = -10;

// In a child about to become a device: its priority raised where that is allowed.
inline void RunAsDevice() {
  (void)setpriority(PRIO_PROCESS, 0, kDeviceNiceness);
}

// Starts args[0] (looked up in PATH when it holds no "/") with args. Its standard output and
// error go to the files named, nullptr leaving them as they are; `device`: it runs as a device
// (see above). The child's pid, or -1.
inline pid_t Spawn(std::vector<std::string> args, const char* out = "/dev/null",
                   const char* err = "/dev/null", bool device = false) {
  std::fflush(stdout);  // the child must not print what the parent had buffered
  const pid_t pid = fork();
  if (pid == 0) {
    if (device) RunAsDevice();
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (out) std::freopen(out, "w", stdout);
    if (err) std::freopen(err, "w", stderr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

}  // namespace test_support
