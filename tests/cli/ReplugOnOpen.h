#pragma once
// Replugs qelm-radio-sim radios as a technician who watches the log would: each time the
// program has opened a radio's port for a connect attempt ("Port P opened at R" in the log,
// written once the port is open, set to its rate and emptied), that radio gets SIGUSR1. Never
// earlier, so the banner is neither emptied away by the open nor heard at the rate the port had
// before, however slow a loaded machine is between the two; and it works where the program
// says nothing on standard error (--quiet). One thread reads what the log gained since its last
// look; it ends with the object.

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "CliHarness.h"

namespace cli_test {

class ReplugOnOpen {
 public:
  ReplugOnOpen(std::vector<SimRadio*> radios, std::string logPath) : logPath_(std::move(logPath)) {
    for (SimRadio* r : radios) radios_["Port " + r->Port() + " opened at "] = r;
    // Lines already in the log belong to earlier runs.
    offset_ = Size();
    thread_ = std::thread([this] {
      while (!stop_) {
        Look();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  ~ReplugOnOpen() {
    stop_ = true;
    thread_.join();
  }
  ReplugOnOpen(const ReplugOnOpen&) = delete;
  ReplugOnOpen& operator=(const ReplugOnOpen&) = delete;

  // How many replugs were made so far.
  int Count() const { return count_; }

 private:
  std::streamoff Size() const {
    std::ifstream in(logPath_, std::ios::binary | std::ios::ate);
    return in ? static_cast<std::streamoff>(in.tellg()) : 0;
  }

  void Look() {
    std::ifstream in(logPath_, std::ios::binary);
    if (!in) return;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // The log is trimmed when a run ends: it starts again from what is there.
    if (size < offset_) offset_ = size;
    if (size == offset_) return;
    in.seekg(offset_);
    std::string more(static_cast<size_t>(size - offset_), '\0');
    in.read(more.data(), static_cast<std::streamsize>(more.size()));
    more.resize(static_cast<size_t>(in.gcount()));
    // Only whole lines count; a line being written is looked at again next time.
    const size_t end = more.rfind('\n');
    if (end == std::string::npos) return;
    offset_ += static_cast<std::streamoff>(end + 1);
    more.resize(end + 1);
    for (const auto& [mark, radio] : radios_)
      for (size_t at = more.find(mark); at != std::string::npos; at = more.find(mark, at + 1)) {
        radio->Replug();
        ++count_;
      }
  }

  std::string logPath_;
  std::map<std::string, SimRadio*> radios_;
  std::streamoff offset_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> count_{0};
  std::thread thread_;
};

}  // namespace cli_test
