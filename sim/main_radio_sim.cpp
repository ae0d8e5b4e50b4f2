// qelm-radio-sim: one radio stand-in served on a pseudo-terminal in real time, so that the real
// program (or a terminal) opens it like any serial device. The first line on stdout is the
// path of the program's end. See SimUsage() for the options.

#include <errno.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "sim/program/PtyLine.h"
#include "sim/program/RadioServer.h"
#include "sim/program/SimOptions.h"
#include "sim/program/StateFile.h"

namespace {

// The nice value asked for: well ahead of ordinary processes (0), short of the system's own.
constexpr int kSchedulingPriority = -10;

bool PlaceLink(const std::string& link, const std::string& target, std::string* error) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      *error = link + " exists and is not a symbolic link";
      return false;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    *error = "cannot link " + link + ": " + ::strerror(errno);
    return false;
  }
  return true;
}

void RemoveLink(const std::string& link, const std::string& target) {
  char buf[4096];
  ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  // Only our own link: someone may have replaced it meanwhile.
  if (n > 0 && std::string(buf, static_cast<size_t>(n)) == target) ::unlink(link.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  sim::SimOptions options;
  std::string error;
  if (!sim::ParseSimOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "qelm-radio-sim: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (options.showHelp) {
    std::fputs(sim::SimUsage(), stdout);
    return 0;
  }
  if (!options.statePath.empty() && !sim::LoadState(options.statePath, &options.radio, &error)) {
    std::fprintf(stderr, "qelm-radio-sim: %s\n", error.c_str());
    return 2;
  }

  // A radio answers on a processor of its own, whatever else the machine runs: the stand-in
  // asks to be scheduled ahead of ordinary processes, so that a busy machine does not open
  // gaps in its replies that no radio would make. Without the right to (not root), it runs as
  // it is.
  ::setpriority(PRIO_PROCESS, 0, kSchedulingPriority);

  // Signals arrive through a descriptor, so the loop sees them between two polls.
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&set, s);
  sigprocmask(SIG_BLOCK, &set, nullptr);
  int signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
  if (signalFd < 0) {
    std::fprintf(stderr, "qelm-radio-sim: signalfd: %s\n", ::strerror(errno));
    return 1;
  }

  sim::PtyLine pty;
  if (!pty.Open(options.radio.baud, &error)) {
    std::fprintf(stderr, "qelm-radio-sim: %s\n", error.c_str());
    return 1;
  }
  if (!options.ptyPath.empty() && !PlaceLink(options.ptyPath, pty.SlavePath(), &error)) {
    std::fprintf(stderr, "qelm-radio-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", pty.SlavePath().c_str());
  std::fflush(stdout);

  sim::RadioServer server(options, pty);
  if (!options.quiet)
    std::fprintf(stderr, "qelm-radio-sim: model %d, firmware %s, %u bit/s, %s radio\n",
                 options.radio.model, options.radio.firmware.c_str(), options.radio.baud,
                 options.radio.internal ? "internal" : "external");
  int status = server.Run(signalFd);
  server.SaveIfAsked(true);
  if (!options.ptyPath.empty()) RemoveLink(options.ptyPath, pty.SlavePath());
  return status;
}
