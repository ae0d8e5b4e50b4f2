// qelm-radio-sim: one radio stand-in served on a pseudo-terminal in real time, so that the real
// program (or a terminal) opens it like any serial device. The first line on stdout is the
// path of the program's end. See SimUsage() for the options.

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/system/Clock.h"
#include "sim/RadioModem.h"
#include "sim/program/PtyLine.h"
#include "sim/program/SimOptions.h"
#include "sim/program/StateFile.h"

namespace {

// How often the loop looks at the pseudo-terminal when nothing else wakes it: short enough to
// see an open within a few milliseconds, long enough to cost nothing.
constexpr uint64_t kLookUs = 5000;

struct Log {
  bool quiet = false;
  bool verbose = false;
  void Say(const std::string& text) const {
    if (!quiet) std::fprintf(stderr, "qelm-radio-sim: %s\n", text.c_str());
  }
  void Detail(const std::string& text) const {
    if (verbose) Say(text);
  }
};

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c >= 0x20 && c < 0x7F)
      out += static_cast<char>(c);
    else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

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

class Server {
 public:
  Server(const sim::SimOptions& options, sim::PtyLine& pty)
      : options_(options), pty_(pty), radio_(options.radio) {
    log_.quiet = options.quiet;
    log_.verbose = options.verbose && !options.quiet;
  }

  // Runs until a signal ends it or the radio vanishes; returns the exit status.
  int Run(int signalFd) {
    bool watchStdin = true;
    for (;;) {
      uint64_t now = clock_.NowUs();
      Serve(now);
      if (radio_.VanishedBy(now)) {
        log_.Say("the radio vanishes: pseudo-terminal closed");
        pty_.Close();
        return 0;
      }
      pollfd fds[4];
      nfds_t n = 0;
      fds[n++] = {signalFd, POLLIN, 0};
      if (pty_.WatchFd() >= 0) fds[n++] = {pty_.WatchFd(), POLLIN, 0};
      int stdinAt = -1;
      if (watchStdin) {
        stdinAt = static_cast<int>(n);
        fds[n++] = {STDIN_FILENO, POLLIN, 0};
      }
      if (peerOpen_) {
        fds[n++] = {pty_.MasterFd(), static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)),
                    0};
      }
      uint64_t wait = std::min(kLookUs, UntilNextEvent(now));
      timespec ts{static_cast<time_t>(wait / 1000000), static_cast<long>(wait % 1000000) * 1000};
      int r = ::ppoll(fds, n, &ts, nullptr);
      if (r < 0 && errno != EINTR) {
        log_.Say(std::string("poll failed: ") + ::strerror(errno));
        return 1;
      }
      if (r <= 0) continue;
      if (fds[0].revents & POLLIN) {
        signalfd_siginfo info{};
        if (::read(signalFd, &info, sizeof info) == sizeof info) {
          if (info.ssi_signo == SIGUSR1) {
            log_.Say("SIGUSR1: cable reconnected");
            radio_.ReconnectCable(clock_.NowUs());
          } else {
            log_.Say("signal " + std::to_string(info.ssi_signo) + ": ending");
            return 0;
          }
        }
      }
      if (stdinAt >= 0 && fds[stdinAt].revents) watchStdin = ReadKeys();
    }
  }

  void SaveIfAsked(bool force) {
    if (options_.statePath.empty()) return;
    if (!force && radio_.StoreCount() == savedStores_) return;
    savedStores_ = radio_.StoreCount();
    std::string error;
    if (!sim::SaveState(options_.statePath, radio_, &error)) log_.Say(error);
  }

 private:
  void Serve(uint64_t now) {
    uint8_t buf[512];
    // What the program wrote before it closed or reconfigured the port was on the line at the
    // rate the line had then: it is heard before a close or a new rate is taken in.
    if (peerOpen_)
      while (size_t got = pty_.Read(buf, sizeof buf)) radio_.Receive(now, buf, got, hostBaud_);
    bool opened = false;
    while (pty_.NextPeerChange(&opened)) {
      if (opened) {
        log_.Say("port opened");
        radio_.DropOutputUpTo(now);
        radio_.OnPortOpened(now);
      } else {
        log_.Say("port closed");
        radio_.OnPortClosed(now);
        pending_.clear();
      }
    }
    peerOpen_ = pty_.PeerOpen();
    radio_.Tick(now);
    if (radio_.RestartCount() != restarts_) {
      restarts_ = radio_.RestartCount();
      log_.Say("radio starts at " + std::to_string(radio_.Baud()) + " bit/s, banner follows");
    }
    if (!peerOpen_) {
      // Nobody is listening: what the radio says now is lost, as on an unplugged line.
      radio_.DropOutputUpTo(now);
      return;
    }
    const uint32_t hostBaud = hostBaud_ = pty_.HostBaud();
    while (size_t got = pty_.Read(buf, sizeof buf)) radio_.Receive(now, buf, got, hostBaud);
    LogReceived();
    uint64_t at = 0;
    while (pending_.size() < sizeof buf && radio_.PeekOutput(&at) && at <= now)
      pending_.push_back(static_cast<char>(radio_.TakeOutput(hostBaud)));
    if (!pending_.empty()) {
      long w = pty_.Write(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size());
      if (w > 0) pending_.erase(0, static_cast<size_t>(w));
    }
    SaveIfAsked(false);
  }

  uint64_t UntilNextEvent(uint64_t now) {
    uint64_t next = radio_.NextEventUs();
    uint64_t at = 0;
    if (peerOpen_ && pending_.empty() && radio_.PeekOutput(&at)) next = std::min(next, at);
    if (auto v = radio_.VanishAtUs()) next = std::min(next, *v);
    return next > now ? next - now : 0;
  }

  bool ReadKeys() {
    char buf[256];
    ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) return false;  // end of input: keys no longer count
    if (std::find(buf, buf + n, '\n') != buf + n) {
      log_.Say("Enter: cable reconnected");
      radio_.ReconnectCable(clock_.NowUs());
    }
    return true;
  }

  void LogReceived() {
    if (!log_.verbose) return;
    const std::string& bytes = radio_.HostBytes();
    if (bytes.size() > loggedBytes_)
      log_.Detail("bytes in: " + Printable(bytes.substr(loggedBytes_)));
    loggedBytes_ = bytes.size();
    const auto& lines = radio_.Commands();
    for (; loggedLines_ < lines.size(); ++loggedLines_)
      log_.Detail("line: \"" + Printable(lines[loggedLines_]) + "\"");
  }

  const sim::SimOptions& options_;
  sim::PtyLine& pty_;
  sim::RadioModem radio_;
  platform::SteadyClock clock_;
  Log log_;
  bool peerOpen_ = false;
  uint32_t hostBaud_ = 0;  // the program's rate when the line was last looked at
  std::string pending_;
  int restarts_ = 0;
  int savedStores_ = 0;
  size_t loggedBytes_ = 0, loggedLines_ = 0;
};

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
  if (!options.linkPath.empty() && !PlaceLink(options.linkPath, pty.SlavePath(), &error)) {
    std::fprintf(stderr, "qelm-radio-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", pty.SlavePath().c_str());
  std::fflush(stdout);

  Server server(options, pty);
  if (!options.quiet)
    std::fprintf(stderr, "qelm-radio-sim: model %d, firmware %s, %u bit/s, %s radio\n",
                 options.radio.model, options.radio.firmware.c_str(), options.radio.baud,
                 options.radio.internal ? "internal" : "external");
  int status = server.Run(signalFd);
  server.SaveIfAsked(true);
  if (!options.linkPath.empty()) RemoveLink(options.linkPath, pty.SlavePath());
  return status;
}
