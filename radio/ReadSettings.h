#pragma once
// Reading the connected radio's settings: one query per register, in a fixed order and each
// only under its condition ("wb?", "wn?", "dx?", "pe?", then "wu?", "pn?", "pr?" while the
// handle profile may still be what the radio holds, and "wp?" in service mode), filling the
// settings record and the view, deriving the device entry and keeping a snapshot of what was
// read. Also the banner reading that identifies the radio.
//
// Results: 0 all read; 1 a step failed (logged, and for a failed query a message box with the
// text "Error" captioned with the item; no later query is sent); 3 the port is not open. The
// wait cursor is restored on every exit.

#include "radio/SettingsView.h"

namespace radio {

int ReadSettings(SettingsView& view);

// Reads the radio's banner into the record (identity fields) and shows the record; 0 when a
// banner was read.
int ReadBanner(SettingsView& view);

}  // namespace radio
