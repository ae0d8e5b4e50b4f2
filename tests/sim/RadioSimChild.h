#pragma once
// One qelm-radio-sim run for a test: started with the test's options, the path of the
// program's end read from its first line, what it reports on standard error ("port opened",
// "radio starts at ...") kept in a file the test can wait on, and ended when the test is done
// with it (SIGTERM unless the test ends it otherwise). Start fails (false) when the stand-in is
// not built into the test or does not print a pseudo-terminal's path within five seconds.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/WaitUntil.h"

namespace test_support {

class RadioSimChild {
 public:
  RadioSimChild() = default;
  ~RadioSimChild() {
    Stop(SIGTERM);
    if (!reportPath_.empty()) ::unlink(reportPath_.c_str());
  }
  RadioSimChild(const RadioSimChild&) = delete;
  RadioSimChild& operator=(const RadioSimChild&) = delete;

  bool Start(std::vector<std::string> args) {
#ifdef QELM_RADIO_SIM_PATH
    Stop(SIGTERM);
    path_.clear();
    if (reportPath_.empty()) {
      char name[] = "/tmp/qelm-sim-report-XXXXXX";
      const int fd = ::mkstemp(name);
      if (fd < 0) return false;
      ::close(fd);
      reportPath_ = name;
    }
    args.insert(args.begin(), QELM_RADIO_SIM_PATH);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      const int report = ::open(reportPath_.c_str(), O_WRONLY | O_TRUNC);
      ::dup2(null, STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(report, STDERR_FILENO);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    // The first line is the pseudo-terminal's path.
    for (;;) {
      pollfd p{out[0], POLLIN, 0};
      char c = 0;
      if (::poll(&p, 1, 5000) <= 0 || ::read(out[0], &c, 1) != 1) break;
      if (c == '\n') break;
      path_.push_back(c);
    }
    ::close(out[0]);
    return path_.rfind("/dev/pts/", 0) == 0;
#else
    (void)args;
    return false;
#endif
  }

  void Stop(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  void Signal(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);  // never -1, which would reach every process
  }
  const std::string& Path() const {
    return path_;
  }

  // What the stand-in has reported on standard error so far.
  std::string Report() const {
    std::stringstream text;
    text << std::ifstream(reportPath_).rdbuf();
    return text.str();
  }
  // Waits until the stand-in has seen its port open, and not closed since.
  bool WaitForPortOpen(int boundMs = 10000) const {
    return WaitUntil(
        [&] {
          const std::string report = Report();
          const size_t opened = report.rfind("port opened"), closed = report.rfind("port closed");
          return opened != std::string::npos && (closed == std::string::npos || closed < opened);
        },
        boundMs);
  }
  // Waits until the report holds a line with the text at least `times` times.
  bool WaitForReport(const std::string& text, int times = 1, int boundMs = 10000) const {
    return WaitUntil(
        [&] {
          const std::string report = Report();
          int seen = 0;
          for (size_t at = report.find(text); at != std::string::npos;
               at = report.find(text, at + text.size()))
            ++seen;
          return seen >= times;
        },
        boundMs);
  }

 private:
  pid_t pid_ = -1;
  std::string path_;
  std::string reportPath_;
};

}  // namespace test_support
