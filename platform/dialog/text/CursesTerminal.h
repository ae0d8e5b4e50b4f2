#pragma once
// The real terminal, through ncurses (Debian's libncurses-dev, the wide-character library).
// It takes standard input and output in raw mode (Ctrl+C is a key here: the cancel command),
// reads keys with the ESC prefix as Alt, mouse presses where the terminal reports them, and
// the change of size; it shows frames with curses' own diffing, box lines as the terminal's
// line graphics, and characters beyond ASCII only when the locale's character set is UTF-8.
// SIGHUP, SIGTERM and SIGINT (TerminalStopHandlers), and an end of input, read as a hang-up.
// Another program (the help's text browser, RunInForeground) gets the screen with curses
// suspended, and the screen is painted whole when it ends.
//
// Open fails (nullptr and a reason) when standard input or output is not a terminal, the
// terminal type is unknown, or the terminal cannot move its cursor (TERM=dumb); it never ends
// the process as initscr would. The destructor gives
// the terminal back as it was.

#include <memory>
#include <string>

#include "platform/dialog/text/TerminalIo.h"
#include "platform/dialog/text/TerminalStopHandlers.h"

struct screen;

namespace platform {

class CursesTerminal final : public TerminalIo {
 public:
  static std::unique_ptr<CursesTerminal> Open(std::string* whyNot);
  ~CursesTerminal() override;
  CursesTerminal(const CursesTerminal&) = delete;
  CursesTerminal& operator=(const CursesTerminal&) = delete;

  int Width() const override;
  int Height() const override;
  bool ShowsDim() const override { return showsDim_; }
  void Show(const TextCanvas& frame) override;
  std::optional<InputEvent> Wait(int timeoutMs) override;
  void DiscardInput() override;
  void Bell() override;
  void Repaint() override { repaint_ = true; }
  bool RunProgram(const std::vector<std::string>& argv) override;

 private:
  explicit CursesTerminal(screen* s);
  std::optional<InputEvent> ReadKey();
  std::optional<InputEvent> KeyOf(int result, unsigned code, bool alt);

  screen* screen_;
  TerminalStopHandlers stopHandlers_;  // after newterm, so curses' own handlers come back
  bool utf8_ = false;
  bool showsDim_ = true;
  bool repaint_ = false;
  bool hungUp_ = false;
};

}  // namespace platform
