#include "cli/CliJobs.h"

#include <cctype>
#include <string>

#include "cli/CliVerify.h"
#include "cli/OpenWatch.h"
#include "cli/SavePlan.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/system/CodePage.h"
#include "platform/system/StopSignals.h"
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

bool Stopping() {
  return platform::StopSignals::First() != 0;
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

const char* ResultOf(int status, bool lost) {
  if (status != 0 && lost) return "connection lost";
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

std::string EntryText(int index, const std::vector<std::u16string>& list) {
  return index >= 0 && index < static_cast<int>(list.size())
             ? std::to_string(index) + " " + Utf8(list[index])
             : "none";
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
  int status = StatusOf(radio::ConnectRadio(view));
  view.EndWaits();
  if (status != 0 && view.WaitTimedOut())
    view.LogLine(u"No radio started within " + platform::Utf8ToWide(std::to_string(o.waitSeconds)) +
                 u" s (--wait).");
  return status;
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

int Verify(CliView& view, const CliOptions& o, const std::u16string& rate, int storedDevice,
           JobReport* report) {
  VerifyInput in;
  // What the store sent, as its record of accepted commands has it (the last value of each).
  for (const auto& [reg, value] : view.progress->store.Get().accepted) in.sent[reg] = value;
  in.rateStored = Utf8(rate);
  view.settings.baudText = rate;
  view.baudSel = RateIndex(rate);
  int status = Connect(view, o);
  if (status != 0) return status;
  // What the reading parsed of the radio's answers.
  for (const auto& [reg, value] : view.settings.readValues) in.held[reg] = value;
  in.rateNow = Utf8(view.settings.portBaudText);
  report->notVerifiable = NotVerifiable(in);
  TakeSettings(view, report);
  const std::vector<std::u16string> list = view.deviceList;
  const int readAs = view.deviceSel;
  view.Disconnect();
  if (readAs != storedDevice && storedDevice >= 0)
    report->note = "stored as " + EntryText(storedDevice, list) +
                   "; the radio's registers read as " + EntryText(readAs, list);
  const std::string differs = VerifyDifferences(in);
  if (differs.empty()) return 0;
  return Refuse(view, u"Verify: the radio holds " + platform::Utf8ToWide(differs) + u".");
}

std::vector<std::string> DeviceNames(const CliView& view) {
  std::vector<std::string> names;
  for (const auto& name : view.deviceList) names.push_back(Utf8(name));
  return names;
}

// What the reading found, for a plan.
PlanHeld HeldOf(const CliView& view) {
  const RadioSettings& s = view.settings;
  PlanHeld held;
  held.model = s.modelNumber;
  held.rate = Utf8(s.portBaudText);
  for (const auto& [reg, value] : s.readValues) held.held[reg] = value;
  held.device = s.readDevice;
  held.link = s.readLink;
  return held;
}

// Logs a plan and tells the registers it took as the device entry implies.
void LogPlan(CliView& view, const std::u16string& head, const std::vector<PlanChange>& changes,
             const std::vector<std::string>& assumed, int device) {
  view.LogLine(head + (changes.empty() ? u"nothing" : platform::Utf8ToWide(ChangesText(changes))) +
               u".");
  std::string regs;
  for (const auto& r : assumed) regs += (regs.empty() ? "" : ", ") + r;
  if (!regs.empty())
    view.LogLine(platform::Utf8ToWide("Not read back, taken as device entry " +
                                      EntryText(device, view.deviceList) + " implies: " + regs +
                                      "."));
}

// What the store SaveSettings is about to make would change, from the choices in the view and
// the reading.
std::vector<PlanChange> SavePlanOf(CliView& view, std::vector<std::string>* assumed) {
  RadioSettings& s = view.settings;
  view.TakeControls();
  PlanTarget target;
  const bool handle =
      s.modelNumber == radio::kModel2410 && s.deviceIndex == radio::kHandleDeviceIndex;
  const int mode = s.internalRadio ? 0 : view.ModeSelection();
  target.registers = SaveRegisters(s.modelNumber, mode, view.linkSel, s.deviceIndex, s.serviceMode,
                                   s.band, s.transmitPower);
  target.rate =
      handle ? Utf8(std::u16string(radio::kBaudRates[radio::kDefaultBaudIndex])) : Utf8(s.baudText);
  target.device = s.deviceIndex;
  return PlanChanges(HeldOf(view), target, DeviceNames(view), assumed);
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

  std::vector<std::string> assumed;
  report->changes = SavePlanOf(view, &assumed);
  // The handle profile refused for this firmware is refused whatever the radio holds.
  const bool refused = s.modelNumber == radio::kModel2410 &&
                       s.deviceIndex == radio::kHandleDeviceIndex &&
                       !radio::HandleFirmwareAccepted(s.firmwareVersion);
  if (o.plan && refused)
    report->note = "the save would be refused: this firmware cannot take the handle profile";
  if (o.plan || (!o.alwaysStore && !refused && report->changes->empty())) {
    LogPlan(view, o.plan ? u"Plan: a save would change " : u"A save would change ",
            *report->changes, assumed, s.readDevice);
    if (o.plan) {
      report->result = "planned";
    } else {
      report->result = "unchanged";
      view.LogLine(u"Settings unchanged: the radio already holds them; nothing stored.");
    }
    report->phase = "read";
    view.Disconnect();
    return 0;
  }
  if (Stopping()) return 1;
  view.LogLine(u"OnSave");
  int status = radio::SaveSettings(view);
  view.ShowMessage(status == 0 ? u"Settings saved." : u"Error. Settings not saved.", u"QELM Config",
                   platform::MB_OK);
  const std::u16string rate = s.baudText;
  const int storedDevice = view.deviceSel;
  TakeSettings(view, report);
  TakeStore(view.progress->store.Get(), false, report);
  view.progress->Set(*report);
  view.Disconnect();
  // Only a store the line confirmed whole is read back: anything else says nothing reliable.
  if (status != 0 || !o.verify || Stopping()) return status;
  int verified = Verify(view, o, rate, storedDevice, report);
  // A verify cut short by a stop signal says nothing about the radio: the store stands.
  if (verified != 0 && Stopping()) return 0;
  report->verified = verified == 0;
  if (verified == 0) report->phase = "verified";
  return verified;
}

int Reset(CliView& view, const CliOptions& o, JobReport* report) {
  if (o.plan) {
    const RadioSettings& s = view.settings;
    PlanTarget target;
    target.registers = ResetRegisters(s.modelNumber, s.usProfile, s.internalRadio);
    if (!s.internalRadio)
      target.rate = Utf8(std::u16string(
          radio::kBaudRates[radio::MakerDefaultsFor(s.modelNumber, s.usProfile).rateIndex]));
    std::vector<std::string> assumed;
    report->changes = PlanChanges(HeldOf(view), target, DeviceNames(view), &assumed);
    LogPlan(view, u"Plan: a reset would change ", *report->changes, assumed, s.readDevice);
    report->result = "planned";
    report->phase = "read";
    report->note = "the maker's reset (m0) first returns every register to the maker's value";
    view.Disconnect();
    return 0;
  }
  if (Stopping()) return 1;
  radio::ResetOutcome outcome = radio::ResetToDefaults(view);
  if (outcome == radio::ResetOutcome::kDeclined) {
    view.Disconnect();
    report->result = "declined";
    view.LogLine(u"Reset declined: nothing was sent.");
    return 1;
  }
  // The radio now holds the maker's defaults, which were not read: only its identity and the
  // rate it answers at are known. The reset has ended the connection.
  report->deviceIndex = report->link = -1;
  report->deviceName = report->mode = "";
  report->service = false;
  TakeStore(view.progress->store.Get(), false, report);
  return outcome == radio::ResetOutcome::kDone ? 0 : 1;
}

}  // namespace

void TakeStore(const radio::StoreProgress::State& st, bool interrupted, JobReport* r) {
  if (!st.begun) return;
  r->stored = st.Stored();
  r->rate = st.AnswersAt();
  r->failed = st.failed;
  if (st.confirmed)
    r->phase = "stored";
  else
    r->phase = interrupted ? "interrupted" : "started";
  // A radio left answering at a rate it has not stored: what it answers at before and after
  // its next restart, and the read that shows it.
  if (std::string hint = RecoveryHint(r->port, st); !hint.empty()) r->note = hint;
}

int RunJob(CliView& view, const CliOptions& o, JobReport* report) {
  RadioSettings& s = view.settings;
  s.portName = o.port;
  s.serviceMode = o.service;
  s.baudText = s.portBaudText = o.rate;
  view.baudSel = RateIndex(o.rate);
  report->job = o.job == Job::kSave ? "save" : o.job == Job::kReset ? "reset" : "read";
  report->port = Utf8(o.port);
  report->storeJob = o.job != Job::kRead;
  report->linkAsked = o.portLink;
  // Nothing is stored until a store says so.
  if (report->storeJob) report->stored = false;
  JobProgress ownProgress;
  if (!view.progress) view.progress = &ownProgress;
  s.storeProgress = &view.progress->store;
  platform::SerialProvider& provider = platform::CurrentSerialProvider();
  OpenWatch watch(provider);
  view.openWatch = &watch;
  platform::SetSerialProvider(&watch);
  view.progress->Set(*report);

  CSerialPort::Attach(&view);
  int status = Connect(view, o);
  if (status == 0) {
    TakeSettings(view, report);
    report->phase = o.job == Job::kRead ? "read" : "not started";
    view.progress->Set(*report);
    switch (o.job) {
      case Job::kSave:
        status = Save(view, o, report);
        break;
      case Job::kReset:
        status = Reset(view, o, report);
        break;
      default:
        view.Disconnect();
        break;
    }
  }
  report->pathMs = CSerialPort::PathRoundTripMs();
  CSerialPort::ClosePort();
  CSerialPort::Attach(nullptr);
  platform::SetSerialProvider(&provider);
  view.openWatch = nullptr;
  s.storeProgress = nullptr;

  const radio::StoreProgress::State store = view.progress->store.Get();
  const bool lost = status != 0 && store.lost;
  // A line lost on the way is no refusal of the rate by the port.
  if (lost && status == 2) status = 1;
  report->status = status;
  if (report->result.empty()) report->result = ResultOf(status, lost);
  if (Stopping() && report->phase != "verified" && report->phase != "stored" &&
      report->phase != "read" && !lost)
    report->result = "stopped";
  if (status != 0) {
    // The error is the failing step's own line, or the message the user was shown.
    if (!view.OpenProblemText().empty())
      report->error = "Cannot open port. " + view.OpenProblemText();
    else if (view.WaitTimedOut())
      report->error = "No radio started within " + std::to_string(o.waitSeconds) + " s (--wait).";
    else if (!view.LastErrorLine().empty())
      report->error = Utf8(view.LastErrorLine());
    else if (!view.Messages().empty())
      report->error = Utf8(view.Messages().back());
    // A reply refused as late across a network path: the error says the path's round trip.
    if (!view.LateReplyLine().empty() && report->error != Utf8(view.LateReplyLine()))
      report->error += (report->error.empty() ? "" : "; ") + Utf8(view.LateReplyLine());
    if (lost)
      report->error = "Connection lost at " + Utf8(store.lostAt) +
                      (report->error.empty() ? "" : "; " + report->error);
  }
  view.progress->Set(*report);
  if (view.progress == &ownProgress) view.progress = nullptr;
  return status;
}

}  // namespace cli
