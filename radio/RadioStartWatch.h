#pragma once
// The wait for an external radio that the user is replugging: the open port is polled every
// 100 ms until the radio's first bytes arrive. One or two bytes are taken for noise from the
// plug and discarded once; three or more, any byte after that discard, or a line error mean
// the radio has started. The caller decides when to give up (a Cancel button, a time bound)
// and what to do between polls (a dialog dispatches one waiting message).
//
// Never fails by itself; a port that is not open reads as silent until the caller gives up.

#include <functional>

namespace radio {

// True when the radio seems to have started; false when giveUp() said so first. giveUp is
// asked before every poll, and betweenPolls runs once per poll before its 100 ms pause.
bool WatchForRadioStart(const std::function<bool()>& giveUp,
                        const std::function<void()>& betweenPolls);

}  // namespace radio
