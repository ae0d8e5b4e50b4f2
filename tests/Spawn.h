#pragma once
// Starting a helper program from a test or a benchmark (a radio stand-in, ser2net, qelm-cli):
// fork and exec, with its standard output and error sent where the caller says. A program that
// cannot be started ends its child with status 127, as a shell reports it.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace test_support {

// Starts args[0] (looked up in PATH when it holds no "/") with args. Its standard output and
// error go to the files named, nullptr leaving them as they are. The child's pid, or -1.
inline pid_t Spawn(std::vector<std::string> args, const char* out = "/dev/null",
                   const char* err = "/dev/null") {
  std::fflush(stdout);  // the child must not print what the parent had buffered
  const pid_t pid = fork();
  if (pid == 0) {
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
