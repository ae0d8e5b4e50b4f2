#include "radio/ResetToDefaults.h"

#include <string>

#include "platform/dialog/DialogConstants.h"
#include "platform/system/CodePage.h"
#include "radio/RadioTables.h"
#include "radio/StoreProgress.h"
#include "radio/StoreSettings.h"
#include "serial/CSerialPort.h"
#include "serial/RadioExchange.h"

namespace radio {

ResetOutcome ResetToDefaults(SettingsView& view) {
  RadioSettings& s = view.Settings();
  if (view.ShowMessage(u"Reset the radio modem to Morva defaults and lose all current settings?",
                       u"", platform::MB_YESNO | platform::MB_ICONEXCLAMATION) != platform::IDYES)
    return ResetOutcome::kDeclined;
  const MakerDefaults v = MakerDefaultsFor(s.modelNumber, s.usProfile);
  view.LogLine(std::u16string(v.firstLine));
  WaitCursor wait(view);
  StoreProgress* progress = s.storeProgress;
  if (progress) progress->Begin(platform::WideToUtf8(s.portBaudText));
  // A raw line counts as delivered once the line confirms it; a line that cannot confirm it
  // has lost the radio, which then answers at a rate nobody knows. The record says so; the
  // reset's own steps go on as they would.
  auto confirm = [&](const std::u16string& sent) {
    if (CSerialPort::ConfirmWritten()) return true;
    if (progress) progress->Lost(sent);
    return false;
  };

  bool ok = true;        // the run's success flag: guards the steps that need the radio
  bool complete = true;  // also false after a failed profile register or an unwritten line
  std::u16string lastCommand;
  auto command = [&](std::u16string_view commandText, const char16_t* failureLine) {
    const std::u16string text(commandText);
    lastCommand = text;
    int32_t value = 0;
    std::string reg;
    int32_t sent = 0;
    const bool named = ParseSetCommand(text, &reg, &sent);
    if (RadioCommand(text, &value) == 0) {
      if (progress && named) progress->Accepted(reg, sent);
      return;
    }
    view.LogLine(failureLine);
    if (progress && named) progress->Failed(reg);
    ok = false;
  };

  // The next command's purge leaves the written line alone (the serial layer never discards
  // what a write handed over), so "m0" reaches the radio without a pause of its own.
  complete = SendLine(std::u16string(kMakerReset));
  if (s.modelNumber == kModel2400) {
    // The radio is at 9600 from "m0" on.
    if (progress) progress->RateSent("9600");
    if (complete && confirm(std::u16string(kMakerReset)) && progress) progress->RateConfirmed();
    CSerialPort::ClosePort();
    if (CSerialPort::OpenPort(u"9600", true) != RC_OK) {
      view.LogLine(u"ERROR: Could not re-open port at 9600. (wit2400)");
      ok = false;
    }
    if (ok) command(v.bandCommand, u"ERROR: Could not set 'Band to France'.");
    if (ok) command(kChannelAccessCommand, u"ERROR: Could not set 'Channel access mode'.");
  } else {
    command(v.bandCommand, u"ERROR: Could not set 'Band'.");
  }

  if (StoreProfileRegisters(view) != 0) complete = false;

  if (ok) command(s.internalRadio ? u"wb0" : u"wb1", u"ERROR: Could not set the transceiver mode.");

  bool rateSent = false;
  if (ok && !s.internalRadio) {
    s.baudText = std::u16string(kBaudRates[v.rateIndex]);
    lastCommand = v.rateCommand;
    rateSent = true;
    // The radio answers at its new rate, so nothing is read here.
    if (progress) progress->RateSent(platform::WideToUtf8(s.baudText));
    if (!SendLine(lastCommand))
      complete = false;
    else if (confirm(lastCommand) && progress)
      progress->RateConfirmed();
    view.ShowRecord();
    CSerialPort::ClosePort();
    if (CSerialPort::OpenPort(s.baudText, true) != RC_OK) {
      view.LogLine(u"ERROR: Could not re-open port.");
      ok = false;
    }
  }

  if (ok) {
    view.LogLine(u"Baudrate set to " + s.baudText + u" with " + lastCommand);
    int32_t value = 0;
    if (progress) progress->StoreSent();
    if (RadioCommand(std::u16string(kStore), &value) != 0) {
      view.LogLine(u"ERROR: Could not store defaults settings.");
      ok = false;
    }
  }

  if (ok) {
    if (SendLine(std::u16string(kEndCommands)) && confirm(std::u16string(kEndCommands))) {
      if (progress) progress->Confirmed();
    } else {
      complete = false;
    }
  }
  const bool done = ok && complete;
  if (done)
    view.Beep();
  else
    view.ShowMessage(u"Error. Verify communication line.", u"",
                     platform::MB_OK | platform::MB_ICONSTOP);

  if (rateSent) view.SelectBaud(v.rateIndex);
  const int sel = view.BaudSelection();
  s.baudText = sel >= 0 && sel < static_cast<int>(kBaudRates.size())
                   ? std::u16string(kBaudRates[sel])
                   : std::u16string();
  view.ShowRecord();
  s.portBaudText = s.baudText;
  view.Disconnect();
  return done ? ResetOutcome::kDone : ResetOutcome::kFailed;
}

}  // namespace radio
