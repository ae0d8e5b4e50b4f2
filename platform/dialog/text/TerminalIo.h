#pragma once
// The terminal itself, as the backend needs it: its size, showing a finished frame, waiting
// a bounded time for one input event, the bell, and handing the terminal to another program
// for a while. CursesTerminal is the real one; tests script one.
//
// Nothing here throws. Once the terminal has hung up, Wait reports HangUp and showing does
// nothing.

#include <optional>
#include <string>
#include <vector>

#include "platform/dialog/text/TerminalKeys.h"
#include "platform/dialog/text/TextCanvas.h"

namespace platform {

class TerminalIo {
 public:
  virtual ~TerminalIo() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Whether the terminal has a dim attribute (a vt100 has none).
  virtual bool ShowsDim() const = 0;
  virtual void Show(const TextCanvas& frame) = 0;
  // At most one event, within timeoutMs (0: only what is already waiting).
  virtual std::optional<InputEvent> Wait(int timeoutMs) = 0;
  // Drops the keys and clicks that wait to be read (typed ahead).
  virtual void DiscardInput() = 0;
  virtual void Bell() = 0;
  // The next Show paints every cell, not only the changed ones (the screen was spoilt).
  virtual void Repaint() = 0;
  // Leaves the screen to a program (argv[0] looked up in PATH) until it ends; false when it
  // could not be started or failed.
  virtual bool RunProgram(const std::vector<std::string>& argv) = 0;
};

}  // namespace platform
