#pragma once
// The fleet's one status line on a terminal: how many ports are done, failed, running and
// still to start, and the time since the start ("17 of 64 done · 2 failed · 45 running ·
// 0:41"), rewritten in place as ports end and once a second, and cleared at the end. Other
// lines written while it shows go above it (the line is cleared, the text written, the line
// drawn again). Where standard error is no terminal, nothing of it is ever written.
//
// Nothing fails: what cannot be written is lost with the stream.

#include <cstdint>
#include <ostream>
#include <string>

namespace cli {

// Whether standard error is a terminal (a pseudo-terminal or a console), judged by the device
// it is open on.
bool StandardErrorIsTerminal();

class FleetStatus {
 public:
  FleetStatus(std::ostream& err, bool terminal, int total)
      : err_(err), on_(terminal), total_(total) {}

  // The counts as they stand; drawn when they changed or a second passed.
  void Update(int done, int failed, int running, uint64_t elapsedMs);
  // A line of its own, written above the status line.
  void Line(const std::string& text);
  // Takes the status line away until the next Update (before standard output is written to,
  // which may be the same terminal).
  void Hide();
  // Removes the status line for good.
  void Clear();

  // The status line's text.
  static std::string Text(int total, int done, int failed, int running, uint64_t elapsedMs);

 private:
  void Draw();

  std::ostream& err_;
  bool on_;
  int total_;
  std::string shown_, current_;
  uint64_t lastSecond_ = UINT64_MAX;
};

}  // namespace cli
