#pragma once
// Storing the shown settings into the connected radio: the mode, the link number, a switch of
// the radio's serial rate (moving the controller's port along with it), the band and transmit
// power in service mode and the profile registers of the chosen device entry, then "m>" and
// "z>" raw. For the handle profile ("Corax & Tanager" on a model 2410 radio) one complete
// sequence of its own takes the place of all of this, after a firmware test.
//
// Results: 0 stored; 1 a step failed (logged; nothing after a failed mode, link, rate or
// service command goes on the wire); 2 the controller's port refused the new rate; 3 the port
// is not open. A failure is never reported as stored: a profile register that fails, or a raw
// line that cannot be written, still lets the closing "m>" and "z>" go out but makes the
// result 1. The wait cursor is restored on every exit.

#include "radio/SettingsView.h"

namespace radio {

int SaveSettings(SettingsView& view);
int StoreCoraxProfile(SettingsView& view);
// The profile registers of the record's model and profile; 0 all accepted, 1 at the first
// failure (logged).
int StoreProfileRegisters(SettingsView& view);

// Whether the handle profile may be stored into firmware of this version (5.4 and later; the
// unknown version -1.0 is refused).
bool HandleFirmwareAccepted(double firmwareVersion);

}  // namespace radio
