#include "radio/SelectionRule.h"

#include "radio/RadioTables.h"

namespace radio {

void ApplySelectionChange(SettingsView& view) {
  RadioSettings& s = view.Settings();
  view.TakeControls();
  s.modeIndex = s.internalRadio ? 0 : view.ModeSelection();
  view.SelectMode(s.modeIndex);
  s.deviceIndex = view.DeviceSelection();
  view.LogLine(u"Change Mode: " + s.modeText + u" Device: " + s.deviceText);
  s.usProfile = s.deviceIndex < 2;
  if (s.deviceIndex == kHandleDeviceIndex) {
    view.SelectBaud(s.defaultBaudIndex);
    view.EnableBaud(false);
    view.SelectLink(0);
    view.SelectMode(0);
    view.EnableMode(false);
  } else {
    view.EnableBaud(true);
    view.EnableMode(true);
  }
}

}  // namespace radio
