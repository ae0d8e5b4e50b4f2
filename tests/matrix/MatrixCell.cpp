#include "tests/matrix/MatrixCell.h"

#include <cctype>
#include <map>

namespace matrix {

namespace {

Step Banner() {
  return {StepKind::kBanner, ""};
}
Step Raw(const char* t) {
  return {StepKind::kRaw, t};
}
Step Cmd(const char* t) {
  return {StepKind::kCommand, t};
}

std::vector<Step> Steps(std::vector<Step> head, const std::vector<const char*>& commands,
                        std::vector<Step> tail = {}) {
  for (const char* c : commands) head.push_back(Cmd(c));
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

const std::vector<const char*> kHandleCommands = {"sp00", "wb0", "wd30", "wg0", "wl0",  "wn0",
                                                  "wp1",  "wu1", "dx0",  "pe6", "pk01", "pr30",
                                                  "pt00", "px0", "zb1",  "zc1", "zp0",  "zq0"};

}  // namespace

const std::vector<Step>& Script(Sequence sequence) {
  static const std::map<Sequence, std::vector<Step>> scripts = {
      {Sequence::kConnectExternal,
       Steps({Banner(), Raw(":wit2400")}, {"wb?", "wn?", "dx?", "pe?"})},
      {Sequence::kConnectInternal,
       Steps({Banner(), Raw(":wit2400")}, {"wb?", "wn?", "dx?", "pe?"})},
      {Sequence::kReadHandle,
       Steps({Raw(":wit2400")}, {"wb?", "wn?", "dx?", "pe?", "wu?", "pn?", "pr?"})},
      {Sequence::kSave,
       Steps({}, {"wb1", "wna", "pn1", "pw34", "pr30", "wu01", "dx00"}, {Raw("m>"), Raw("z>")})},
      {Sequence::kSaveRateSwitch,
       Steps(Steps({}, {"wb1", "wn5"}, {Raw("sd0B"), {StepKind::kLoneCr, ""}, Raw("sd?")}),
             {"pn1", "pw34", "pr30", "wu01", "dx00"}, {Raw("m>"), Raw("z>")})},
      {Sequence::kHandleProfile, Steps({}, kHandleCommands, {Raw("m>"), Raw("z>")})},
      {Sequence::kDisconnectUnsaved,
       Steps({}, {"wb1", "wna", "pn1", "pw34", "pr30", "wu01", "dx00"}, {Raw("m>"), Raw("z>")})},
      {Sequence::kResetUs,
       Steps({Raw("m0")}, {"pe00", "pn1", "pw30", "pr10", "wu01", "dx04", "wb1"},
             {Raw("sd0B"), Cmd("m>"), Raw("z>")})},
      {Sequence::kResetSwiss,
       Steps({Raw("m0")}, {"pe06", "pn1", "pw34", "pr30", "wu01", "dx00", "wb1"},
             {Raw("sd01"), Cmd("m>"), Raw("z>")})},
      {Sequence::kReset2400,
       Steps({Raw("m0")}, {"pe1", "wt1", "pr10", "wb1"}, {Raw("sd040"), Cmd("m>"), Raw("z>")})},
      {Sequence::kResetInternal,
       Steps({Raw("m0")}, {"pe00", "pn1", "pw30", "pr10", "wu01", "dx04", "wb0", "m>"},
             {Raw("z>")})},
  };
  return scripts.at(sequence);
}

std::vector<Fault> FaultsAt(Sequence sequence, const Step& step) {
  if (step.kind != StepKind::kBanner)
    return {Fault::kNoPrompt, Fault::kSilence,   Fault::kGarbage,   Fault::kEndlessTalk,
            Fault::kSlow,     Fault::kWrongRate, Fault::kRadioGone, Fault::kPortGone};
  // Before the banner the radio hears no lines: it can stay silent, be slow to start, start
  // at another rate, or the port can go; an external radio's plug can also make noise.
  if (sequence == Sequence::kConnectExternal)
    return {Fault::kSilence, Fault::kGarbage, Fault::kSlow, Fault::kWrongRate, Fault::kPortGone};
  return {Fault::kSilence, Fault::kSlow, Fault::kWrongRate, Fault::kPortGone};
}

std::vector<Cell> AllCells() {
  std::vector<Cell> cells;
  for (int s = 0; s <= static_cast<int>(Sequence::kResetInternal); ++s) {
    const Sequence sequence = static_cast<Sequence>(s);
    const std::vector<Step>& script = Script(sequence);
    for (size_t i = 0; i < script.size(); ++i)
      for (Fault f : FaultsAt(sequence, script[i]))
        cells.push_back({sequence, static_cast<int>(i), f});
  }
  return cells;
}

const char* SequenceName(Sequence s) {
  switch (s) {
    case Sequence::kConnectExternal:
      return "ConnectExternal";
    case Sequence::kConnectInternal:
      return "ConnectInternal";
    case Sequence::kReadHandle:
      return "ReadHandle";
    case Sequence::kSave:
      return "Save";
    case Sequence::kSaveRateSwitch:
      return "SaveRateSwitch";
    case Sequence::kHandleProfile:
      return "HandleProfile";
    case Sequence::kDisconnectUnsaved:
      return "DisconnectUnsaved";
    case Sequence::kResetUs:
      return "ResetUs";
    case Sequence::kResetSwiss:
      return "ResetSwiss";
    case Sequence::kReset2400:
      return "Reset2400";
    case Sequence::kResetInternal:
      return "ResetInternal";
  }
  return "?";
}

const char* FaultName(Fault f) {
  switch (f) {
    case Fault::kNoPrompt:
      return "NoPrompt";
    case Fault::kSilence:
      return "Silence";
    case Fault::kGarbage:
      return "Garbage";
    case Fault::kEndlessTalk:
      return "EndlessTalk";
    case Fault::kSlow:
      return "Slow";
    case Fault::kWrongRate:
      return "WrongRate";
    case Fault::kRadioGone:
      return "RadioGone";
    case Fault::kPortGone:
      return "PortGone";
  }
  return "?";
}

std::string CellName(const Cell& cell) {
  const Step& step = Script(cell.sequence).at(cell.step);
  std::string at;
  if (step.kind == StepKind::kBanner)
    at = "banner";
  else if (step.kind == StepKind::kLoneCr)
    at = "CR";
  else
    for (char c : step.text) at += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return std::string(SequenceName(cell.sequence)) + "_" + std::to_string(cell.step) + "_" + at +
         "_" + FaultName(cell.fault);
}

}  // namespace matrix
