#include "radio/ReadSettings.h"

#include <algorithm>
#include <string>

#include "platform/dialog/DialogConstants.h"
#include "platform/system/Clock.h"
#include "radio/RadioTables.h"
#include "serial/CSerialPort.h"
#include "serial/RadioExchange.h"

namespace radio {

namespace {

// Sends one query; on failure logs the line and shows "Error" captioned with the item.
// The value parsed is kept in the record under the register's name.
bool Query(SettingsView& view, const char16_t* command, int32_t* value, const char16_t* logLine,
           const char16_t* caption) {
  if (RadioCommand(command, value) == 0) {
    const std::u16string_view c(command);
    view.Settings().readValues[std::string{static_cast<char>(c[0]), static_cast<char>(c[1])}] =
        *value;
    return true;
  }
  view.LogLine(logLine);
  view.ShowMessage(u"Error", caption, platform::MB_OK);
  return false;
}

}  // namespace

int ReadSettings(SettingsView& view) {
  WaitCursor wait(view);
  RadioSettings& s = view.Settings();
  if (!CSerialPort::IsOpen()) {
    view.LogLine(u"ERROR: ReadSettings RC_PORT_NOT_OPEN.");
    return 3;
  }
  s.readValues.clear();
  s.readBaudIndex = view.BaudSelection();
  bool handle = s.modelNumber == kModel2410 && s.readBaudIndex == kDefaultBaudIndex;

  CSerialPort::Purge(CSerialPort::kPurgeAll);
  if (EmptyInput() != 0) return 1;
  SendLine(std::u16string(kEnterCommandMode));
  PauseForAnswer(100);
  if (EmptyInput() != 0) return 1;

  int32_t value = 0;
  if (!Query(view, u"wb?", &value, u"ERROR: Could not read 'Mode'.", u"Mode")) return 1;
  s.modeIndex = s.internalRadio ? 0 : value;
  view.SelectMode(s.modeIndex);
  s.readMode = s.modeIndex;
  handle = handle && s.modeIndex == 0;

  if (!Query(view, u"wn?", &value, u"ERROR: Could not read 'Link number'.", u"Link number"))
    return 1;
  int32_t link = std::min<int32_t>(value, kLinkCount - 1);
  s.readLink = link;
  std::string digits = std::to_string(link);
  s.linkText.assign(digits.begin(), digits.end());

  if (s.modelNumber == kModel2410) {
    if (!Query(view, u"dx?", &value, u"ERROR: Could not read 'Range'.", u"Range")) return 1;
    if (value == 4) {
      s.usProfile = true;
      s.deviceIndex = 1;
      handle = false;
    } else {
      s.usProfile = false;
      s.deviceIndex = 2;
      handle = handle && value == 0;
    }
  } else {
    s.deviceIndex = 0;
  }
  s.readDevice = s.deviceIndex;

  if (!Query(view, u"pe?", &value, u"ERROR: Could not read 'Freq. band' (service).",
             u"Frequency band"))
    return 1;
  s.band = s.readBand = value;
  handle = handle && value == 6;

  if (handle) {
    if (!Query(view, u"wu?", &value, u"ERROR: Point to Point direct mode.",
               u"Point to Point direct mode"))
      return 1;
    handle = value == 1;
  }
  if (handle) {
    if (!Query(view, u"pn?", &value, u"Max No. of remotes.", u"Max No. of remotes")) return 1;
    handle = value == 1;
  }
  if (handle) {
    if (!Query(view, u"pr?", &value, u"No. of retries.", u"No. of retries")) return 1;
    handle = value == 48;
  }

  if (s.serviceMode) {
    if (!Query(view, u"wp?", &value, u"ERROR: Could not read 'Transmit power' (service).",
               u"Transmit power"))
      return 1;
    s.transmitPower = s.readPower = value;
  }

  if (handle) {
    s.deviceIndex = s.readDevice = kHandleDeviceIndex;
    view.SelectBaud(s.defaultBaudIndex);
    view.EnableBaud(false);
    view.SelectMode(0);
    view.EnableMode(false);
  } else {
    view.EnableBaud(true);
    view.EnableMode(true);
  }
  view.SelectDevice(s.deviceIndex);
  view.ShowRecord();

  view.Beep();
  s.settingsRead = true;
  view.LogLine(u"Radio settings read OK.");
  return 0;
}

int ReadBanner(SettingsView& view) {
  BannerValues values;
  if (::ReadBanner(&values) != 0) return 1;
  RadioSettings& s = view.Settings();
  s.bannerText = values.bannerText;
  s.firmwareText = values.firmwareText;
  s.firmwareVersion = values.firmwareVersion;
  s.modelNumber = values.modelNumber;
  view.ShowRecord();
  return 0;
}

}  // namespace radio
