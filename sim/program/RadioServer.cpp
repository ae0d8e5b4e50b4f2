#include "sim/program/RadioServer.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "sim/program/StateFile.h"

namespace sim {

namespace {

// How often the loop looks at the pseudo-terminal when nothing else wakes it (a new rate on
// an open port, an open where no watch tells of it): short enough to see it within a few
// milliseconds. A radio whose port nobody holds sleeps until the watch, a signal or its own
// next event wakes it, so that a rack of idle radios costs the machine nothing.
constexpr uint64_t kLookUs = 5000;

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

}  // namespace

void RadioServer::Log::Say(const std::string& text) const {
  if (!quiet) std::fprintf(stderr, "qelm-radio-sim: %s\n", text.c_str());
}

void RadioServer::Log::Detail(const std::string& text) const {
  if (verbose) Say(text);
}

RadioServer::RadioServer(const SimOptions& options, PtyLine& pty)
    : options_(options), pty_(pty), radio_(options.radio) {
  log_.quiet = options.quiet;
  log_.verbose = options.verbose && !options.quiet;
}

int RadioServer::Run(int signalFd) {
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
    uint64_t wait = UntilNextEvent(now);
    if (peerOpen_ || pty_.WatchFd() < 0) wait = std::min(kLookUs, wait);
    wait = std::min<uint64_t>(wait, 3600ull * 1000000);
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

void RadioServer::SaveIfAsked(bool force) {
  if (options_.statePath.empty()) return;
  if (!force && radio_.StoreCount() == savedStores_) return;
  savedStores_ = radio_.StoreCount();
  std::string error;
  if (!SaveState(options_.statePath, radio_, &error)) log_.Say(error);
}

void RadioServer::Serve(uint64_t now) {
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
      // The program may have written its last line after the read above and closed at once;
      // those bytes still wait on the master and were on the line before the close.
      while (size_t got = pty_.Read(buf, sizeof buf)) radio_.Receive(now, buf, got, hostBaud_);
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
  // A store is on file before the radio's answer to it goes out: whoever has the answer finds
  // the state it left.
  SaveIfAsked(false);
  uint64_t at = 0;
  while (pending_.size() < sizeof buf && radio_.PeekOutput(&at) && at <= now)
    pending_.push_back(static_cast<char>(radio_.TakeOutput(hostBaud)));
  if (!pending_.empty()) {
    long w = pty_.Write(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size());
    if (w > 0) pending_.erase(0, static_cast<size_t>(w));
  }
  SaveIfAsked(false);
}

uint64_t RadioServer::UntilNextEvent(uint64_t now) {
  uint64_t next = radio_.NextEventUs();
  uint64_t at = 0;
  if (peerOpen_ && pending_.empty() && radio_.PeekOutput(&at)) next = std::min(next, at);
  if (auto v = radio_.VanishAtUs()) next = std::min(next, *v);
  return next > now ? next - now : 0;
}

bool RadioServer::ReadKeys() {
  char buf[256];
  ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
  if (n <= 0) return false;  // end of input: keys no longer count
  if (std::find(buf, buf + n, '\n') != buf + n) {
    log_.Say("Enter: cable reconnected");
    radio_.ReconnectCable(clock_.NowUs());
  }
  return true;
}

void RadioServer::LogReceived() {
  if (!log_.verbose) return;
  const std::string& bytes = radio_.HostBytes();
  if (bytes.size() > loggedBytes_)
    log_.Detail("bytes in: " + Printable(bytes.substr(loggedBytes_)));
  loggedBytes_ = bytes.size();
  const auto& lines = radio_.Commands();
  for (; loggedLines_ < lines.size(); ++loggedLines_)
    log_.Detail("line: \"" + Printable(lines[loggedLines_]) + "\"");
}

}  // namespace sim
