#pragma once
// A radio played by the test on a pseudo-terminal, for what the radio stand-in never does: it
// answers every command line with bytes the test chooses (terminal escape sequences, C1
// bytes), or it drips one byte every 200 ms, or it floods the line without end. The banner (in
// answering mode) goes out once, a little after the program has set the line's rate.

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace net_test {

class ScriptedRadio {
 public:
  enum class Mode { kAnswer, kDrip, kFlood };

  // kAnswer: after the banner, each command line is answered with its echo, then reply, then
  // the prompt ">".
  ScriptedRadio(Mode mode, std::string banner = "", std::string reply = "")
      : mode_(mode), banner_(std::move(banner)), reply_(std::move(reply)) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    grantpt(master_);
    unlockpt(master_);
    port_ = ptsname(master_);
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedRadio() {
    stop_ = true;
    thread_.join();
    close(master_);
  }
  ScriptedRadio(const ScriptedRadio&) = delete;
  ScriptedRadio& operator=(const ScriptedRadio&) = delete;

  const std::string& Port() const { return port_; }

 private:
  unsigned Rate() const {
    termios2 tio{};
    ioctl(master_, TCGETS2, &tio);
    return tio.c_ospeed;
  }
  void Pause(int ms) {
    for (int i = 0; i < ms && !stop_; i += 5)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  void Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size() && !stop_) {
      ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0)
        done += static_cast<size_t>(n);
      else
        Pause(5);
    }
  }
  void Run() {
    if (mode_ == Mode::kDrip) {
      while (!stop_) {
        (void)!write(master_, "x", 1);
        Pause(200);
        char sink[256];
        while (read(master_, sink, sizeof sink) > 0) {
        }
      }
      return;
    }
    if (mode_ == Mode::kFlood) {
      const std::string chunk(512, 'y');
      char sink[256];
      while (!stop_) {
        if (write(master_, chunk.data(), chunk.size()) <= 0) Pause(1);
        while (read(master_, sink, sizeof sink) > 0) {
        }
      }
      return;
    }
    const unsigned initial = Rate();
    while (!stop_ && Rate() == initial) Pause(10);
    Pause(300);
    Send(banner_);
    std::string line;
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char buf[256];
      ssize_t n = read(master_, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        line += buf[i];
        if (buf[i] != '\n') continue;
        Send(line + reply_ + ">");
        line.clear();
      }
    }
  }

  Mode mode_;
  std::string banner_, reply_;
  int master_ = -1;
  std::string port_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace net_test
