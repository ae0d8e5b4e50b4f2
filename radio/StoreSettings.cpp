#include "radio/StoreSettings.h"

#include <string>

#include "platform/dialog/DialogConstants.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "radio/RadioTables.h"
#include "radio/StoreProgress.h"
#include "serial/CSerialPort.h"
#include "serial/RadioExchange.h"

namespace radio {

namespace {

constexpr uint32_t kAfterRateCommandMs = 200;

// Whether the serial layer says the device no longer answers at all.
bool LineLost() {
  return (CSerialPort::QueryStatus().errors & CSerialPort::kDeviceLost) != 0;
}

bool Set(SettingsView& view, std::u16string_view command, std::u16string_view failureLine) {
  int32_t value = 0;
  StoreProgress* progress = view.Settings().storeProgress;
  std::string reg;
  int32_t sent = 0;
  const bool named = ParseSetCommand(std::u16string(command), &reg, &sent);
  if (RadioCommand(std::u16string(command), &value) == 0) {
    if (progress && named) progress->Accepted(reg, sent);
    return true;
  }
  view.LogLine(std::u16string(failureLine));
  if (progress && named) progress->Failed(reg);
  if (progress && LineLost()) progress->Lost(u"'" + std::u16string(command) + u"'");
  return false;
}

std::u16string Decimal(int32_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// The link number the Link combo shows, or -1 when it shows none.
int32_t LinkNumber(const std::u16string& text) {
  if (text.empty() || text.size() > 2) return -1;
  int32_t link = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return -1;
    link = link * 10 + (c - u'0');
  }
  return link < kLinkCount ? link : -1;
}

bool SetLink(SettingsView& view) {
  int32_t link = LinkNumber(view.Settings().linkText);
  // With no link chosen there is nothing valid to send; the store fails rather than guess.
  if (link < 0) {
    view.LogLine(u"ERROR: Could not set 'Link number'.");
    return false;
  }
  return Set(view, LinkCommand(link), u"ERROR: Could not set 'Link number'.");
}

// Switches the radio to the record's rate with the code given, and the port with it; then
// checks that the radio is heard at the new rate. 0, or 1 or 2 as SaveSettings answers.
int SwitchRate(SettingsView& view, std::u16string_view code) {
  RadioSettings& s = view.Settings();
  StoreProgress* progress = s.storeProgress;
  const std::u16string command = u"sd" + std::u16string(code);
  const uint64_t sentAt = platform::NowMs();
  if (progress) progress->RateSent(platform::WideToUtf8(s.baudText));
  // Nothing more can reach a radio that did not get its rate command. Whether the line took it
  // is confirmed within the wait that follows the command, so the wire keeps its timing.
  if (!SendLine(command)) {
    if (progress) progress->Lost(u"the rate command");
    return 1;
  }
  const bool confirmed = CSerialPort::ConfirmWritten();
  const uint64_t spent = platform::NowMs() - sentAt;
  if (spent < kAfterRateCommandMs)
    platform::Sleep(static_cast<uint32_t>(kAfterRateCommandMs - spent));
  // Unconfirmed, the radio may answer at either rate; the switch goes on as it would, and
  // whatever fails next says so in its own words.
  if (progress) confirmed ? progress->RateConfirmed() : progress->Lost(u"the rate command");
  view.LogLine(u"Baudrate set to " + s.baudText + u" with " + command);
  s.portBaudText = s.baudText;
  if (!CSerialPort::SetBaudrate(s.baudText)) {
    view.LogLine(u"ERROR: Could not set computer to new baudrate.");
    if (progress && LineLost()) progress->Lost(u"the new baudrate");
    return 2;
  }
  CSerialPort::Purge(CSerialPort::kPurgeAll);
  platform::Sleep(200);
  CSerialPort::Purge(CSerialPort::kPurgeAll);
  bool written = CSerialPort::PortWrite('\r');
  platform::Sleep(200);
  written = SendLine(u"sd?") && written;
  PauseForAnswer(200);
  if (EmptyInput() != 0 || !written) {
    view.LogLine(u"ERROR: Could not connect to radio at new baudrate " + s.baudText);
    if (progress && LineLost()) progress->Lost(u"the reading at the new baudrate");
    return 1;
  }
  return 0;
}

// "m>" and "z>" raw; true when both were written and the line confirmed them.
bool StoreAndEnd(SettingsView& view) {
  StoreProgress* progress = view.Settings().storeProgress;
  // Counted as sent from the attempt on: a write that fails half-way may still have reached
  // the radio, which then holds what was stored or not; only a store never tried is "not".
  // A device that is already gone takes no byte of it, so that store was never tried either.
  if (progress && !LineLost()) progress->StoreSent();
  bool stored = SendLine(std::u16string(kStore));
  bool ended = SendLine(std::u16string(kEndCommands));
  if (stored && ended && CSerialPort::ConfirmWritten()) {
    if (progress) progress->Confirmed();
    return true;
  }
  if (progress) progress->Lost(u"the store command");
  return false;
}

void Begin(SettingsView& view) {
  const RadioSettings& s = view.Settings();
  if (s.storeProgress) s.storeProgress->Begin(platform::WideToUtf8(s.portBaudText));
}

}  // namespace

bool HandleFirmwareAccepted(double firmwareVersion) {
  // The version comes from three characters of the banner ("5.4" reads exactly as 5.4); the
  // margin only keeps a rounding of the text from refusing the oldest accepted version.
  return firmwareVersion >= kHandleFirmware - 1e-9;
}

int StoreProfileRegisters(SettingsView& view) {
  const RadioSettings& s = view.Settings();
  for (const ProfileRegister& r : ProfileRegisters(s.modelNumber, s.usProfile))
    if (!Set(view, r.command, r.failureLine)) return 1;
  return 0;
}

int SaveSettings(SettingsView& view) {
  WaitCursor wait(view);
  RadioSettings& s = view.Settings();
  if (!CSerialPort::IsOpen()) {
    view.LogLine(u"ERROR: SaveSettings RC_PORT_NOT_OPEN.");
    return 3;
  }
  view.TakeControls();

  const bool handle = s.modelNumber == kModel2410 && s.deviceIndex == kHandleDeviceIndex;
  const bool switchRate = !handle && s.portBaudText != s.baudText;
  auto code = RateCode(s.modelNumber, view.BaudSelection());
  if (switchRate && !code) {
    // Model 2400 has no code for the two fastest rates: refuse before anything is sent
    // rather than leave the radio and the port at different rates.
    view.LogLine(u"ERROR: Could not set 'Baudrate' to " + s.baudText + u": model " +
                 Decimal(s.modelNumber) + u" has no rate code for it.");
    return 1;
  }

  CSerialPort::Purge(CSerialPort::kPurgeAll);
  if (EmptyInput() != 0) return 1;
  if (handle) return StoreCoraxProfile(view);
  Begin(view);

  s.modeIndex = view.ModeSelection();
  if (s.modeIndex == 0 || s.modeIndex == 1) {
    if (!Set(view, s.modeIndex == 0 ? u"wb0" : u"wb1", u"ERROR: Could not set 'Mode'.")) return 1;
  } else {
    // The radio reported a mode the list does not have and the user chose none: its mode is
    // left as it is instead of sending a mode it cannot take.
    view.LogLine(u"Mode not selected: the radio's mode is left unchanged.");
  }
  if (!SetLink(view)) return 1;

  if (switchRate) {
    int r = SwitchRate(view, *code);
    if (r != 0) return r;
  }

  if (s.serviceMode) {
    if (!Set(view, u"pe" + Decimal(s.band), u"ERROR: Could not set 'Freq. band' (service)."))
      return 1;
    if (!Set(view, u"wp" + Decimal(s.transmitPower),
             u"ERROR: Could not set 'Transmit power' (service)."))
      return 1;
  }

  bool complete = StoreProfileRegisters(view) == 0;
  complete = StoreAndEnd(view) && complete;
  if (!complete) return 1;
  view.Beep();
  s.settingsRead = false;
  view.LogLine(u"Settings stored OK.");
  return 0;
}

int StoreCoraxProfile(SettingsView& view) {
  WaitCursor wait(view);
  RadioSettings& s = view.Settings();
  if (!HandleFirmwareAccepted(s.firmwareVersion)) {
    view.ShowMessage(
        u"This firmware version (" + s.firmwareText + u") is not compatible with the radio handle.",
        u"Error", platform::MB_OK);
    return 1;
  }
  s.baudText = std::u16string(kBaudRates[kDefaultBaudIndex]);
  Begin(view);
  if (s.portBaudText != s.baudText) {
    int r = SwitchRate(view, *RateCode(s.modelNumber, kDefaultBaudIndex));
    if (r != 0) return r;
  }

  const int32_t link = LinkNumber(s.linkText);
  if (link < 0) {
    view.LogLine(u"ERROR: Could not set 'Link number'.");
    return 1;
  }
  for (const HandleRegister& r : HandleProfileRegisters(link))
    if (!Set(view, r.command, r.failureLine)) return 1;
  if (!StoreAndEnd(view)) return 1;
  view.Beep();
  s.settingsRead = false;
  view.LogLine(u"Corax settings stored OK.");
  return 0;
}

}  // namespace radio
