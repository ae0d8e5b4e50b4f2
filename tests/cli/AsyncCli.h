#pragma once
// qelm-cli run in the background, for tests that act while it works (signals, a killed
// parent): what it writes is gathered by a thread of the test, and the test looks at it, at
// the log and at the radios whenever it likes.

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "CliHarness.h"

namespace cli_test {

class AsyncCli {
 public:
  explicit AsyncCli(const Texts& args) {
    Texts argv = {QELM_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const int child = group_.Start(argv);
    pid_ = group_.Pid(child);
    thread_ = std::thread([this] {
      platform::ProcessGroup::Event ev;
      while (group_.Next(&ev)) {
        std::lock_guard<std::mutex> lock(m_);
        if (ev.kind == platform::ProcessGroup::Event::kOutLine) out_ += ev.line + "\n";
        if (ev.kind == platform::ProcessGroup::Event::kErrLine) err_.push_back(ev.line);
        if (ev.kind == platform::ProcessGroup::Event::kEnded) status_ = ev.status;
      }
      std::lock_guard<std::mutex> lock(m_);
      ended_ = true;
    });
  }
  ~AsyncCli() {
    if (!Ended()) ::kill(pid_, SIGKILL);
    thread_.join();
  }
  AsyncCli(const AsyncCli&) = delete;
  AsyncCli& operator=(const AsyncCli&) = delete;

  pid_t Pid() const { return pid_; }
  bool Ended() {
    std::lock_guard<std::mutex> lock(m_);
    return ended_;
  }
  int Status() {
    std::lock_guard<std::mutex> lock(m_);
    return status_;
  }
  std::string Out() {
    std::lock_guard<std::mutex> lock(m_);
    return out_;
  }
  Texts Err() {
    std::lock_guard<std::mutex> lock(m_);
    return err_;
  }

 private:
  platform::ProcessGroup group_;
  pid_t pid_ = -1;
  std::thread thread_;
  std::mutex m_;
  std::string out_;
  Texts err_;
  int status_ = -1;
  bool ended_ = false;
};

// Polls until what() holds or timeoutMs passes; whether it came to hold.
inline bool WaitFor(const std::function<bool()>& what, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!what()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// How many of the program's requests to replug the radio at this port came so far.
inline int ReplugRequests(const Texts& err, const std::string& port) {
  int n = 0;
  for (const auto& l : err)
    if (l.rfind("[" + port + "] Please disconnect", 0) == 0) ++n;
  return n;
}

}  // namespace cli_test
