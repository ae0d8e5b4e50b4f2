#include "tests/matrix/LinkModel.h"

namespace matrix {

void LinkModel::BeforeWrite(int step) {
  if (!Struck(step)) return;
  if (fault_ == Fault::kWrongRate) wrongRate_ = true;
  if (fault_ == Fault::kRadioGone) deaf_ = true;
}

bool LinkModel::Command(int step, const std::string& text) {
  if (portClosed_ || talking_) {
    log_.push_back("ERROR: RadioCommand error 1");
    return false;
  }
  if (portGone_) {  // the emptying read meets the gone device and ends; the write fails
    log_.push_back("ERROR: RadioCommand error 2");
    return false;
  }
  BeforeWrite(step);
  wire_ += text + "\r\n";
  // A rate switch that comes late lands while this command is on the line.
  const bool garbled = lateRate_ != 0;
  if (lateRate_) {
    radioRate_ = lateRate_;
    lateRate_ = 0;
  }
  bool ok = Hears() && !garbled;
  if (stalePrompt_ || latePrompt_) {
    // The late answer of an earlier line ends this command's read before its own echo: a
    // reply that is not this command's, refused whatever the radio made of the command.
    stalePrompt_ = latePrompt_ = false;
    log_.push_back("ERROR: RadioCommand error 3");
    return false;
  }
  const bool ownPrompt = text.find('>') != std::string::npos;
  if (Struck(step)) {
    switch (fault_) {
      case Fault::kPortGone:
        portGone_ = true;
        ok = false;
        break;
      case Fault::kNoPrompt:
        // A command with its own ">" finds it in its echo.
        ok = ok && ownPrompt;
        break;
      case Fault::kSilence:
      case Fault::kGarbage:
        ok = false;
        break;
      case Fault::kSlow:
        // A command with its own ">" finds it in its echo; any other gives up before its
        // answer comes, and that late answer is what the next command reads first.
        if (!ownPrompt && ok) latePrompt_ = true;
        ok = ok && ownPrompt;
        break;
      case Fault::kEndlessTalk:
        // The echo comes before the talk.
        talking_ = Hears();
        ok = ok && ownPrompt;
        break;
      default:
        break;
    }
  }
  if (!ok) log_.push_back("ERROR: RadioCommand error 2");
  return ok;
}

bool LinkModel::Raw(int step, const std::string& text, int newRate, bool lateSwitchLandsFirst) {
  if (portClosed_ || portGone_) return false;
  BeforeWrite(step);
  wire_ += text + "\r\n";
  if (Struck(step) && fault_ == Fault::kPortGone) portGone_ = true;
  if (text == ":wit2400") {
    // A radio that did not hear the line stays in data mode, deaf to every command.
    if (!Hears() || (Struck(step) && fault_ == Fault::kSilence)) deaf_ = true;
    // Its late answer outlasts the emptying read and is what the first query reads.
    if (Hears() && Struck(step) && fault_ == Fault::kSlow) latePrompt_ = true;
    if (Hears() && Struck(step) && fault_ == Fault::kEndlessTalk) talking_ = true;
    return true;
  }
  if (!Hears() || newRate == 0) {
    if (Hears() && Struck(step) && fault_ == Fault::kEndlessTalk) talking_ = true;
    // Its answer comes after every read that follows the line: the next command reads it.
    if (Hears() && Struck(step) && fault_ == Fault::kSlow) latePrompt_ = true;
    return true;
  }
  if (!Struck(step)) {
    radioRate_ = newRate;
    return true;
  }
  switch (fault_) {
    case Fault::kSilence:
      break;  // not heard: the rate stays
    case Fault::kEndlessTalk:
      talking_ = true;  // the radio talks instead of switching
      break;
    case Fault::kSlow:
      // A switch that lands after the next command garbles it, and its prompt, sent at the
      // new rate, ends that command's read.
      if (lateSwitchLandsFirst) {
        radioRate_ = newRate;  // the waits and the emptying read after the line outlast it
      } else if (newRate == radioRate_) {
        latePrompt_ = true;  // only the late prompt is left over, for the next command
      } else {
        lateRate_ = newRate;
        stalePrompt_ = true;
      }
      break;
    default:
      radioRate_ = newRate;
      break;
  }
  return true;
}

bool LinkModel::LoneCr(int step) {
  if (portClosed_ || portGone_) return false;
  BeforeWrite(step);
  wire_ += "\r";
  if (Struck(step) && fault_ == Fault::kPortGone) portGone_ = true;
  if (Struck(step) && fault_ == Fault::kEndlessTalk && Hears()) talking_ = true;
  return true;
}

bool LinkModel::EmptyInput() const {
  return !portClosed_ && !talking_;
}

bool LinkModel::SetPortRate(int rate) {
  if (portGone_) return false;
  portRate_ = rate;
  return true;
}

bool LinkModel::Reopen(int rate, std::vector<Box>& boxes) {
  if (portGone_) {
    const std::string text = "Couldn't open port COM1. rc=2\r\n";
    log_.push_back(text);
    boxes.push_back({std::u16string(text.begin(), text.end()), u"Error", 0});
    portClosed_ = true;
    return false;
  }
  // A late answer still on its way comes after the reopening's purge.
  portRate_ = rate;
  return true;
}

}  // namespace matrix
