#include "radio/ConnectRadio.h"

#include <string>

#include "platform/dialog/DialogConstants.h"
#include "platform/system/Clock.h"
#include "radio/RadioTables.h"
#include "radio/ReadSettings.h"
#include "serial/CSerialPort.h"

namespace radio {

namespace {

constexpr char16_t kInternalPort[] = u"COM3";
constexpr int kInternalAttempts = 35;
constexpr int kOpenFailuresAllowed = 4;  // the next one ends the procedure

// One run of the procedure: its counters and how the attempts ended.
class Attempts {
 public:
  explicit Attempts(ConnectView& view) : view_(view), s_(view.Settings()) {}

  // 0 when a banner was read.
  int bannerResult = 1;
  bool portFailed = false;
  bool noRadio = false;

  void Internal() {
    for (int attempt = 0; attempt < kInternalAttempts;) {
      view_.BeginWait();
      if (CSerialPort::OpenPort(s_.portBaudText, false) != RC_OK) {
        if (CountFailedOpening()) {
          view_.EndWait();
          return;
        }
        view_.LogLine(u"ERROR: Could not open port: " + s_.portName + u" at " + s_.baudText);
      } else {
        view_.LogLine(u"Port " + s_.portName + u" opened at " + s_.baudText);
        NameDevice();
        CSerialPort::Purge(CSerialPort::kPurgeAll);
        CSerialPort::QueryStatus();
        platform::Sleep(100);
        bannerResult = ReadBanner(view_);
        if (bannerResult == 0) {
          s_.internalRadio = true;
          view_.EndWait();
          return;
        }
        CSerialPort::ClosePort();
        view_.LogLine(u"Could not read banner, port closed.");
      }
      NextBaudrate(view_);
      view_.EndWait();
      ++attempt;
    }
    noRadio = true;
    view_.LogLine(u"Could not connect to the internal radio.");
    view_.ShowMessage(u"Could not connect to the internal radio.", u"",
                      platform::MB_OK | platform::MB_ICONSTOP);
  }

  // Returns false when the user gave up.
  bool External() {
    for (;;) {
      if (CSerialPort::OpenPort(s_.portBaudText, false) != RC_OK) {
        if (CountFailedOpening()) return true;
        view_.LogLine(u"ERROR: Could not open port: " + s_.portName);
        NextBaudrate(view_);
        continue;
      }
      view_.LogLine(u"Port " + s_.portName + u" opened at " + s_.baudText);
      NameDevice();
      if (!view_.AwaitExternalRadio(s_.portBaudText)) {
        view_.LogLine(u"Tentative connection cancelled.");
        // Nobody is waiting for the radio any more; do not hold the port until the next open.
        CSerialPort::ClosePort();
        return false;
      }
      bannerResult = ReadBanner(view_);
      if (bannerResult == 0) return true;
      CSerialPort::ClosePort();
      view_.LogLine(u"Could't read banner, port closed.");
      NextBaudrate(view_);
    }
  }

 private:
  // Counts one failed opening; true (after the log line and the message) when it was the one
  // that ends the procedure.
  bool CountFailedOpening() {
    // The serial layer's reason (a network server's, naming HOST:PORT), once for a run of
    // the same failures.
    std::u16string why = CSerialPort::OpenFailureText();
    if (!why.empty() && why != lastWhy_) view_.LogLine(u"ERROR: " + why);
    lastWhy_ = why;
    CSerialPort::ClosePort();
    if (++failedOpenings_ <= kOpenFailuresAllowed) return false;
    view_.LogLine(u"ERROR: Cannot open port. OnDetect returns.");
    view_.ShowMessage(u"Cannot open port.", u"Error", platform::MB_OK);
    s_.connected = false;
    portFailed = true;
    return true;
  }

  // The device behind the port name, once a procedure, when it is not the name itself.
  void NameDevice() {
    if (deviceNamed_) return;
    deviceNamed_ = true;
    bool console = false;
    std::u16string device = CSerialPort::DeviceBehindPort(&console);
    if (!device.empty()) view_.LogLine(u"Port " + s_.portName + u" is " + device);
    if (std::u16string note = CSerialPort::TakeOpenNote(); !note.empty()) view_.LogLine(note);
    if (console)
      view_.LogLine(u"WARNING: " + (device.empty() ? s_.portName : device) +
                    u" is the kernel's console.");
  }

  ConnectView& view_;
  RadioSettings& s_;
  int failedOpenings_ = 0;
  bool deviceNamed_ = false;
  std::u16string lastWhy_;
};

}  // namespace

void NextBaudrate(SettingsView& view) {
  int next = view.BaudSelection() + 1;
  if (next > kDefaultBaudIndex) next = 0;
  view.SelectBaud(next);
  RadioSettings& s = view.Settings();
  s.baudText = s.portBaudText = std::u16string(kBaudRates[next]);
}

namespace {

// The procedure's openings share one connect bound, whichever way the procedure ends.
class ConnectScope {
 public:
  ConnectScope() { CSerialPort::BeginConnect(); }
  ~ConnectScope() { CSerialPort::EndConnect(); }
  ConnectScope(const ConnectScope&) = delete;
  ConnectScope& operator=(const ConnectScope&) = delete;
};

}  // namespace

ConnectResult ConnectRadio(ConnectView& view) {
  ConnectScope scope;
  RadioSettings& s = view.Settings();
  view.TakeControls();
  s.portBaudText = s.baudText;
  s.internalRadio = false;
  Attempts attempts(view);
  bool gaveUp = false;
  if (s.portName == kInternalPort)
    attempts.Internal();
  else
    gaveUp = !attempts.External();
  if (attempts.bannerResult != 0) {
    if (attempts.portFailed) return ConnectResult::kPortFailed;
    if (gaveUp) return ConnectResult::kGaveUp;
    return ConnectResult::kNoRadio;
  }

  view.FillDeviceList();
  s.connected = true;
  if (ReadSettings(view) != 0) {
    view.ClearRadioSettings();
    CSerialPort::ClosePort();
    s.connected = false;
    view.LogLine(u"ERROR: Settings could not be read.");
    view.ShowMessage(u"Settings could not be read.", u"Error", platform::MB_OK);
    return ConnectResult::kSettingsUnread;
  }
  view.ShowConnected();
  return ConnectResult::kConnected;
}

}  // namespace radio
