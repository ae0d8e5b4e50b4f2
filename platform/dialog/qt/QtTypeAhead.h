#pragma once
// Keeps keys and clicks meant for a busy tool from answering a box its user has not seen.
// While the wait cursor is up the tool takes no input; what the user typed or clicked meanwhile
// waits in Qt's queue. Before a message box or a dialog takes the keyboard, every key and mouse
// button event of the tool's windows still queued from such a spell is dropped. Input that
// arrives once the tool was idle again (the event loop found nothing more to do) is kept as
// type-ahead.
//
// Nothing here fails: without an event dispatcher there is no queue, and nothing is dropped.

#include <QObject>

namespace platform {

class QtTypeAhead final : public QObject {
 public:
  QtTypeAhead() = default;

  void BusyBegan();
  void BusyEnded();
  // Called just before a message box or a dialog takes the keyboard.
  void BeforeKeyboard();
  // Events dropped so far.
  int Discarded() const { return discarded_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void WatchForIdle();

  int depth_ = 0;
  bool typedWhileBusy_ = false;
  bool watching_ = false;
  int discarded_ = 0;
};

}  // namespace platform
