#pragma once
// SIGHUP, SIGTERM and SIGINT while the terminal backend has the terminal: each only raises a
// flag, which the wait for input reads as a hang-up, so that the program ends its dialogs as
// after a closed terminal (ports given back, the log closed) instead of dying wherever it is.
// The handlers are installed without SA_RESTART, so a signal wakes a wait for input at once.
// They stay for the life of the object, and the handlers found before (curses' own) are put
// back after it. One object at a time: the flag is process-wide, as signals are.
//
// Nothing here fails: sigaction on these signals with a valid handler cannot.

namespace platform {

class TerminalStopHandlers {
 public:
  TerminalStopHandlers();   // installs the handlers, with the flag cleared
  ~TerminalStopHandlers();  // puts back the handlers found
  TerminalStopHandlers(const TerminalStopHandlers&) = delete;
  TerminalStopHandlers& operator=(const TerminalStopHandlers&) = delete;

  // Whether one of the signals has come since the handlers were installed.
  bool Raised() const;
};

}  // namespace platform
