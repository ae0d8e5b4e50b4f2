#pragma once
// One thing on the terminal's stack of modal runs: a dialog or a message box. The backend
// paints the layers from the bottom up, gives input only to the top one, and runs a layer's
// loop until it has ended.

#include "platform/dialog/text/TerminalKeys.h"
#include "platform/dialog/text/TextCanvas.h"

namespace platform {

class TextLayer {
 public:
  virtual ~TextLayer() = default;
  // Paints itself centred on the canvas; `active` when it is the top layer (it has the
  // focus), `busy` while the wait cursor is shown.
  virtual void Paint(TextCanvas& canvas, bool active, bool busy) = 0;
  // A key, or a click at a screen cell of a screen of that size.
  virtual void HandleKey(const Key& key) = 0;
  virtual void HandleClick(int x, int y, int screenWidth, int screenHeight) = 0;
  // The user has gone (the terminal hung up): take the answer that lets the program end
  // without asking anyone.
  virtual void HangUp() = 0;
  virtual bool Ended() const = 0;
  // The frame's size, to tell whether the screen is large enough.
  virtual int FrameWidth() const = 0;
  virtual int FrameHeight() const = 0;
};

}  // namespace platform
