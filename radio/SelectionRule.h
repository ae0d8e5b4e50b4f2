#pragma once
// What follows when the user picks another entry in the Baudrate, Mode or Device list: the
// choice is taken into the record and logged ("Change Mode: ... Device: ..."); the internal
// radio stays Remote; the device entry decides the profile variant (entries 0 and 1, or none,
// are the US profile); and the handle profile brings 115200, link 0 and Remote with it, with
// the Baudrate and Mode lists locked until another entry is chosen. The one copy of the rule,
// for the dialog and for the command-line program alike. Nothing here fails.

#include "radio/SettingsView.h"

namespace radio {

void ApplySelectionChange(SettingsView& view);

}  // namespace radio
