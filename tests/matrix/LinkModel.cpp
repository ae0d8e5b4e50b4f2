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
  if (stalePrompt_) {
    // The late prompt of a slow line ends this command's read: success, heard or not.
    stalePrompt_ = false;
    ok = true;
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
        // The late reply that follows is read as the next command's prompt, which the radio
        // did hear: nothing else comes of it.
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
    if (Hears() && Struck(step) && fault_ == Fault::kEndlessTalk) talking_ = true;
    return true;
  }
  if (!Hears() || newRate == 0) {
    if (Hears() && Struck(step) && fault_ == Fault::kEndlessTalk) talking_ = true;
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
      // A switch to the same rate leaves only a late prompt over, which harms nothing; one
      // that lands after the next command garbles it, and its prompt, sent at the new rate,
      // ends that command's read.
      if (newRate == radioRate_ || lateSwitchLandsFirst) {
        radioRate_ = newRate;
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

bool LinkModel::Drain() const {
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
  portRate_ = rate;
  return true;
}

}  // namespace matrix
