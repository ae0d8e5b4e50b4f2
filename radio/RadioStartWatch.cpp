#include "radio/RadioStartWatch.h"

#include "platform/system/Clock.h"
#include "serial/CSerialPort.h"

namespace radio {

bool WatchForRadioStart(const std::function<bool()>& giveUp,
                        const std::function<void()>& betweenPolls) {
  CSerialPort::Status status = CSerialPort::QueryStatus();
  status.errors = 0;  // what was there before the wait does not count
  bool discarded = false;
  for (;;) {
    if (giveUp() || status.errors != 0) break;
    betweenPolls();
    platform::Sleep(100);
    status = CSerialPort::QueryStatus();
    if (status.inQueue == 0) continue;
    if (status.inQueue <= 2 && !discarded) {
      // One or two bytes are likely noise from plugging the cable; drop them once. Only the
      // bytes counted go: clearing the whole input queue would also take whatever arrived since
      // the count (the banner, when it follows the noise closely or the program was held up),
      // and the radio sends its banner only once.
      CSerialPort::Purge(platform::PURGE_TXCLEAR);
      char dropped = 0;
      for (uint32_t i = 0; i < status.inQueue; ++i) CSerialPort::ReadChar(&dropped);
      discarded = true;
      continue;
    }
    break;
  }
  // A give-up that came with the last poll still counts: the user asked first.
  return !giveUp();
}

}  // namespace radio
