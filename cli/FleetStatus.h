#pragma once
// The fleet's one status line on a terminal: how many ports are done, failed, running and
// still to start, and the time since the start ("17 of 64 done · 2 failed · 45 running ·
// 0:41"), rewritten in place as ports end and once a second, and cleared at the end. Above it
// stand the live lines, one per port that waits for its radio, rewritten in place with it and
// gone when the port waits no more; each is cut to the terminal's width so that it takes one
// row, and those beyond what the terminal's height leaves room for are counted in one line.
// Other lines written while it shows go above all that (the block is cleared, the text
// written, the block drawn again). Where standard error is no terminal, nothing of it is ever
// written.
//
// Nothing fails: what cannot be written is lost with the stream.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

// Whether standard error is a terminal (a pseudo-terminal or a console), judged by the device
// it is open on.
bool StandardErrorIsTerminal();

class FleetStatus {
 public:
  FleetStatus(std::ostream& err, bool terminal, int total)
      : err_(err), on_(terminal), total_(total) {}

  // The terminal's size in cells, asked at each drawing; false where it is not known (the
  // lines are then not cut, and at most kLiveRowsUnknown live lines are shown).
  std::function<bool(int* columns, int* rows)> terminalSize;
  static constexpr int kLiveRowsUnknown = 8;

  // The live lines as they stand, in order; drawn with the next Update.
  void SetLive(std::vector<std::string> lines);
  // The counts as they stand; drawn when they or the live lines changed or a second passed.
  void Update(int done, int failed, int running, uint64_t elapsedMs);
  // A line of its own, written above the status line.
  void Line(const std::string& text);
  // Takes the status line away until the next Update (before standard output is written to,
  // which may be the same terminal).
  void Hide();
  // Removes the status line for good.
  void Clear();

  // Whether the status line is shown (standard error is a terminal, and not yet cleared).
  bool On() const { return on_; }

  // The status line's text.
  static std::string Text(int total, int done, int failed, int running, uint64_t elapsedMs);

 private:
  void Draw();
  // Takes away what is drawn, leaving the cursor at the start of its first row.
  void Erase();

  std::ostream& err_;
  bool on_;
  int total_;
  std::string shown_, current_;
  std::vector<std::string> live_, liveShown_;
  int rows_ = 0;  // rows drawn: the live lines and the status line
  uint64_t lastSecond_ = UINT64_MAX;
};

}  // namespace cli
