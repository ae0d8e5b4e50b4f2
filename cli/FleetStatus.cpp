#include "cli/FleetStatus.h"

#include <cstdio>

#include "platform/system/ControllingTerminal.h"

namespace cli {

namespace {

// Back to the start of the line and clear it.
constexpr char kClearLine[] = "\r\x1b[K";

}  // namespace

bool StandardErrorIsTerminal() {
  return platform::StandardErrorIsTerminal();
}

std::string FleetStatus::Text(int total, int done, int failed, int running, uint64_t elapsedMs) {
  const uint64_t s = elapsedMs / 1000;
  std::string text = std::to_string(done) + " of " + std::to_string(total) + " done \u00b7 " +
                     std::to_string(failed) + " failed \u00b7 " + std::to_string(running) +
                     " running";
  const int waiting = total - done - failed - running;
  if (waiting > 0) text += " \u00b7 " + std::to_string(waiting) + " to start";
  char time[32];
  std::snprintf(time, sizeof time, " \u00b7 %llu:%02llu", static_cast<unsigned long long>(s / 60),
                static_cast<unsigned long long>(s % 60));
  return text + time;
}

void FleetStatus::Update(int done, int failed, int running, uint64_t elapsedMs) {
  if (!on_) return;
  current_ = Text(total_, done, failed, running, elapsedMs);
  if (current_ == shown_ && elapsedMs / 1000 == lastSecond_) return;
  lastSecond_ = elapsedMs / 1000;
  Draw();
}

void FleetStatus::Draw() {
  err_ << kClearLine << current_ << std::flush;
  shown_ = current_;
}

void FleetStatus::Line(const std::string& text) {
  if (!on_ || shown_.empty()) {
    err_ << text << std::endl;
    return;
  }
  err_ << kClearLine << text << "\n";
  Draw();
}

void FleetStatus::Hide() {
  if (!on_ || shown_.empty()) return;
  err_ << kClearLine << std::flush;
  shown_.clear();
}

void FleetStatus::Clear() {
  if (!on_ || shown_.empty()) return;
  err_ << kClearLine << std::flush;
  shown_.clear();
  on_ = false;
}

}  // namespace cli
