#pragma once
// Returning the connected radio to the maker's defaults, after the user confirmed it: "m0",
// the band (model 2400: on the port reopened at 9600, then the channel access mode), the
// profile registers of the US or Swiss variant, the transceiver mode and, for an external
// radio, the rate command with the port reopened at the radio's new rate; then "m>" and "z>".
// It always ends disconnected, with the Baudrate box and the record's rates at the rate the
// radio uses now.
//
// A failing step clears the run's success flag; the steps guarded by it are skipped and the
// user sees "Error. Verify communication line." instead of the beep. A failed profile register
// or a raw line that could not be written lets the sequence run on but ends in that error box
// too: a failure is never reported as success. A declined question sends and changes nothing.

#include "radio/SettingsView.h"

namespace radio {

enum class ResetOutcome { kDeclined, kDone, kFailed };

ResetOutcome ResetToDefaults(SettingsView& view);

}  // namespace radio
