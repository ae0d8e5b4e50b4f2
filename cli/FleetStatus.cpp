#include "cli/FleetStatus.h"

#include <algorithm>
#include <cstdio>

#include "platform/system/ControllingTerminal.h"

namespace cli {

namespace {

// Back to the start of the line and clear it.
constexpr char kClearLine[] = "\r\x1b[K";

// The text cut to at most `cells` characters (0: as it is); a UTF-8 character counts as one.
std::string Fit(const std::string& text, int cells) {
  if (cells <= 0) return text;
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++count > cells) return text.substr(0, i);
  }
  return text;
}

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

void FleetStatus::SetLive(std::vector<std::string> lines) {
  live_ = std::move(lines);
}

void FleetStatus::Update(int done, int failed, int running, uint64_t elapsedMs) {
  if (!on_) return;
  current_ = Text(total_, done, failed, running, elapsedMs);
  if (current_ == shown_ && live_ == liveShown_ && elapsedMs / 1000 == lastSecond_) return;
  lastSecond_ = elapsedMs / 1000;
  Draw();
}

void FleetStatus::Erase() {
  if (rows_ > 1)
    err_ << "\r\x1b[" << rows_ - 1 << "A\x1b[J";
  else
    err_ << kClearLine;
  rows_ = 0;
}

void FleetStatus::Draw() {
  int columns = 0, rows = 0;
  const bool sized = terminalSize && terminalSize(&columns, &rows);
  // The status line and one row to spare stay below the live lines.
  const size_t room = sized ? static_cast<size_t>(std::max(rows - 2, 0)) : kLiveRowsUnknown;
  std::vector<std::string> shown = live_;
  if (shown.size() > room) {
    const size_t more = shown.size() - (room > 0 ? room - 1 : 0);
    shown.resize(room > 0 ? room - 1 : 0);
    if (room > 0) shown.push_back("... and " + std::to_string(more) + " more waiting");
  }
  Erase();
  for (const std::string& line : shown) err_ << Fit(line, sized ? columns - 1 : 0) << "\n";
  err_ << Fit(current_, sized ? columns - 1 : 0) << std::flush;
  rows_ = static_cast<int>(shown.size()) + 1;
  shown_ = current_;
  liveShown_ = live_;
}

void FleetStatus::Line(const std::string& text) {
  if (!on_ || rows_ == 0) {
    err_ << text << std::endl;
    return;
  }
  Erase();
  err_ << text << "\n";
  Draw();
}

void FleetStatus::Hide() {
  if (!on_ || rows_ == 0) return;
  Erase();
  err_ << std::flush;
  shown_.clear();
  liveShown_.clear();
}

void FleetStatus::Clear() {
  if (!on_ || rows_ == 0) {
    on_ = false;
    return;
  }
  Erase();
  err_ << std::flush;
  shown_.clear();
  liveShown_.clear();
  on_ = false;
}

}  // namespace cli
