#pragma once
// The matrix's model of the link under a fault: what each kind of write does to the radio and
// what the tool reads back, from the rules of the command exchange and of the radio stand-in,
// step by step and without any timing beyond what the rules name. A command fails with
// "RadioCommand error 1" when the input cannot be emptied before it (the port is closed, the
// radio talks without end) and then is not written; with "error 2" when no ">" comes back;
// with "error 3" when what the read ends on is a late answer of an earlier line, which never
// holds this command's echo.
// The line a fault strikes at is always written whole; nothing after a lost port is.

#include <string>
#include <vector>

#include "tests/matrix/MatrixCell.h"

namespace matrix {

class LinkModel {
 public:
  // The fault strikes at the step with this index of the script; rates in bit/s.
  LinkModel(Fault fault, int strikeStep, int radioRate, int portRate, std::vector<std::string>& log)
      : fault_(fault),
        strikeStep_(strikeStep),
        radioRate_(radioRate),
        portRate_(portRate),
        log_(log) {}

  // A register command (RadioCommand); true when it succeeds.
  bool Command(int step, const std::string& text);
  // A line sent without awaiting a reply (SendLine); true when all of it was written.
  // `newRate` is the rate the line switches the radio to (0: none). `lateSwitchLandsFirst`
  // says whether a rate switch that comes 400 ms late lands before the next command.
  bool Raw(int step, const std::string& text, int newRate = 0, bool lateSwitchLandsFirst = false);
  // The lone carriage return of the rate switch.
  bool LoneCr(int step);
  // An emptying read (ReadStr); false when it fails.
  bool EmptyInput() const;
  // The tool's port set to another rate on the open device; false when the device is gone.
  bool SetPortRate(int rate);
  // ClosePort and OpenPort at a rate with message boxes; false (after the port's own log line
  // and box) when it does not open.
  bool Reopen(int rate, std::vector<Box>& boxes);

  const std::string& Wire() const { return wire_; }
  bool PortGone() const { return portGone_; }

 private:
  bool Struck(int step) const { return step == strikeStep_; }
  void BeforeWrite(int step);
  bool Hears() const { return !deaf_ && !wrongRate_ && radioRate_ == portRate_; }

  Fault fault_;
  int strikeStep_;
  int radioRate_;
  int portRate_;
  std::vector<std::string>& log_;
  std::string wire_;
  bool portGone_ = false;
  bool portClosed_ = false;
  bool deaf_ = false;       // the radio is gone or did not hear
  bool wrongRate_ = false;  // the line runs at a rate the tool did not set
  bool talking_ = false;
  int lateRate_ = 0;          // a rate switch the radio makes late
  bool stalePrompt_ = false;  // its prompt, still on its way
  bool latePrompt_ = false;   // a slow answer the next command will read first
};

}  // namespace matrix
