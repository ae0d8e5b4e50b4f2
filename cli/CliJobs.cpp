#include "cli/CliJobs.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/system/CodePage.h"
#include "platform/system/WinTypes.h"
#include "radio/ConnectRadio.h"
#include "radio/RadioTables.h"
#include "radio/ResetToDefaults.h"
#include "radio/StoreSettings.h"
#include "serial/CSerialPort.h"

namespace cli {

namespace {

std::string Utf8(const std::u16string& text) {
  return platform::WideToUtf8(text);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int StatusOf(radio::ConnectResult r) {
  switch (r) {
    case radio::ConnectResult::kConnected:
      return 0;
    case radio::ConnectResult::kPortFailed:
      return 3;
    default:
      return 1;
  }
}

const char* ResultOf(int status) {
  switch (status) {
    case 0:
      return "done";
    case 2:
      return "rate refused";
    case 3:
      return "port not opened";
    default:
      return "failed";
  }
}

// The record as the radio was read, into the report.
void TakeSettings(CliView& view, JobReport* r) {
  const RadioSettings& s = view.settings;
  r->haveSettings = true;
  r->model = s.modelNumber;
  r->firmware = Utf8(s.firmwareText);
  r->deviceIndex = view.deviceSel;
  r->deviceName = view.deviceSel >= 0 && view.deviceSel < static_cast<int>(view.deviceList.size())
                      ? Utf8(view.deviceList[view.deviceSel])
                      : "";
  r->link = view.linkSel;
  r->mode = view.modeSel == 0 || view.modeSel == 1
                ? Utf8(std::u16string(radio::kModes[view.modeSel]))
                : "";
  r->rate = Utf8(s.portBaudText);
  r->service = s.serviceMode;
  r->band = s.band;
  r->bandName = Utf8(std::u16string(radio::kBands[radio::BandEntry(s.modelNumber, s.band)]));
  r->power = s.transmitPower;
  r->powerName = s.transmitPower == 0 || s.transmitPower == 1
                     ? Utf8(std::u16string(radio::kPowers[s.transmitPower]))
                     : "";
}

// Connects as the dialog's Connect does, starting at the rate selected in the view.
int Connect(CliView& view, const CliOptions& o) {
  view.StartWaitBound(static_cast<uint64_t>(o.waitSeconds) * 1000);
  return StatusOf(radio::ConnectRadio(view));
}

// A refusal known once the model is known: told and logged; nothing is sent.
int Refuse(CliView& view, const std::u16string& text) {
  view.LogLine(u"ERROR: " + text);
  view.ShowMessage(text, u"Error", platform::MB_OK);
  return 1;
}

// The device entry an option names for the connected model, or -1 (refused).
int DeviceFor(CliView& view, const CliOptions& o) {
  const std::u16string model = platform::Utf8ToWide(std::to_string(view.settings.modelNumber));
  if (o.device) {
    if (*o.device < static_cast<int>(view.deviceList.size())) return *o.device;
    Refuse(view, u"Model " + model + u" has no device entry " +
                     platform::Utf8ToWide(std::to_string(*o.device)) + u".");
    return -1;
  }
  for (size_t i = 0; i < view.deviceList.size(); ++i)
    if (Lower(Utf8(view.deviceList[i])) == Lower(Utf8(o.deviceName))) return static_cast<int>(i);
  Refuse(view, u"Model " + model + u" has no device '" + o.deviceName + u"'.");
  return -1;
}

// What a reading of the stored settings must give. Entries 0 and 1 store the same registers,
// so a reading shows entry 1; models other than 2410 always read as entry 0.
struct Stored {
  int device = -1, link = -1, mode = -1, band = 0, power = 0;
  std::u16string rate;
};

int ExpectedDevice(int model, int device) {
  if (model != radio::kModel2410) return 0;
  return device == 0 ? 1 : device;
}

int Verify(CliView& view, const CliOptions& o, const Stored& stored, JobReport* report) {
  view.settings.baudText = stored.rate;
  view.baudSel = RateIndex(stored.rate);
  int status = Connect(view, o);
  if (status != 0) return status;
  const RadioSettings& s = view.settings;
  std::u16string differs;
  auto check = [&](bool same, const char16_t* what) {
    if (!same) differs += (differs.empty() ? u"" : u", ") + std::u16string(what);
  };
  check(s.portBaudText == stored.rate, u"rate");
  check(view.deviceSel == ExpectedDevice(s.modelNumber, stored.device), u"device");
  check(view.linkSel == stored.link, u"link");
  check(view.modeSel == (s.internalRadio ? 0 : stored.mode), u"mode");
  if (s.serviceMode && stored.device != radio::kHandleDeviceIndex) {
    check(s.band == stored.band, u"band");
    check(s.transmitPower == stored.power, u"power");
  }
  TakeSettings(view, report);
  view.Disconnect();
  if (differs.empty()) return 0;
  return Refuse(view, u"Verify: the radio read back differs in " + differs + u".");
}

int Save(CliView& view, const CliOptions& o, JobReport* report) {
  RadioSettings& s = view.settings;
  int device = o.device || !o.deviceName.empty() ? DeviceFor(view, o) : view.deviceSel;
  if (device < 0) return 1;
  if (o.newRate && s.modelNumber == radio::kModel2400 &&
      !radio::RateCode(radio::kModel2400, RateIndex(*o.newRate)))
    return Refuse(view, u"Model 2400 cannot be switched to " + *o.newRate + u".");
  if (o.mode == 1 && s.internalRadio)
    view.ShowMessage(u"The internal radio is always Remote.", u"", platform::MB_OK);

  if (o.device || !o.deviceName.empty()) {
    view.deviceSel = device;
    view.SelectionChanged();
  }
  if (o.link) view.linkSel = *o.link;
  if (o.mode) {
    view.modeSel = *o.mode;
    view.SelectionChanged();
  }
  if (o.newRate) {
    view.baudSel = RateIndex(*o.newRate);
    view.SelectionChanged();
  }
  if (o.bandEntry) s.band = radio::BandValue(s.modelNumber, *o.bandEntry);
  if (o.power) s.transmitPower = *o.power;

  view.LogLine(u"OnSave");
  int status = radio::SaveSettings(view);
  view.ShowMessage(status == 0 ? u"Settings saved." : u"Error. Settings not saved.", u"QELM Config",
                   platform::MB_OK);
  Stored stored;
  stored.device = s.deviceIndex;
  stored.link = view.linkSel;
  stored.mode = s.modeIndex;
  stored.rate = s.baudText;
  stored.band = s.band;
  stored.power = s.transmitPower;
  TakeSettings(view, report);
  report->rate = Utf8(s.portBaudText);
  view.Disconnect();
  if (status != 0 || !o.verify) return status;
  int verified = Verify(view, o, stored, report);
  report->verified = verified == 0;
  return verified;
}

int Reset(CliView& view, JobReport* report) {
  radio::ResetOutcome outcome = radio::ResetToDefaults(view);
  if (outcome == radio::ResetOutcome::kDeclined) {
    view.Disconnect();
    report->result = "declined";
    view.LogLine(u"Reset declined: nothing was sent.");
    return 1;
  }
  // The radio now answers at this rate; the reset has ended the connection.
  report->rate = Utf8(view.settings.portBaudText);
  return outcome == radio::ResetOutcome::kDone ? 0 : 1;
}

}  // namespace

int RunJob(CliView& view, const CliOptions& o, JobReport* report) {
  RadioSettings& s = view.settings;
  s.portName = o.port;
  s.serviceMode = o.service;
  s.baudText = s.portBaudText = o.rate;
  view.baudSel = RateIndex(o.rate);
  report->job = o.job == Job::kSave ? "save" : o.job == Job::kReset ? "reset" : "read";
  report->port = Utf8(o.port);

  CSerialPort::Attach(&view);
  int status = Connect(view, o);
  if (status == 0) {
    TakeSettings(view, report);
    switch (o.job) {
      case Job::kSave:
        status = Save(view, o, report);
        break;
      case Job::kReset:
        status = Reset(view, report);
        break;
      default:
        view.Disconnect();
        break;
    }
  }
  CSerialPort::ClosePort();
  CSerialPort::Attach(nullptr);

  report->status = status;
  if (report->result.empty()) report->result = ResultOf(status);
  if (status != 0) {
    report->error = Utf8(view.LastLogLine());
    if (!view.Messages().empty()) report->error += " | " + Utf8(view.Messages().back());
  }
  return status;
}

}  // namespace cli
