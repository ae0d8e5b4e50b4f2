#pragma once
// The radio sequences' view without a window. The "controls" are fields: the chosen port, the
// selected Baudrate, Link, Mode and Device entries and whether Baudrate and Mode are enabled;
// the exchange with the record works by text as the dialog's does. Message boxes are written
// to standard error ("caption: text"), "Cannot open port." with the device and the reason; a
// question is asked on the controlling terminal (never of standard input), or answered Yes by
// --yes; a stop signal ends the question unanswered (No). The external radio's wait tells the user
// on standard error to reconnect the cable, a line per rate with what is left of the --wait bound
// (in a fleet's process, a notice to the fleet instead, see WaitNotice), and gives up when that
// bound of the whole connect has passed or a stop signal came. Every log line, each of its
// continuation lines too, carries the view's tag.
//
// Nothing here fails: a log that cannot be written loses its line (after a bounded wait for a
// file another process holds), and a missing or unreadable answer counts as No.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/JobProgress.h"
#include "cli/OpenWatch.h"
#include "log/CLogFile.h"
#include "radio/ConnectView.h"
#include "radio/RadioSettings.h"

namespace cli {

class CliView final : public radio::ConnectView {
 public:
  // tag: put before every log line ("[COM1] "), empty for a run of its own.
  CliView(CLogFile& log, std::u16string tag, std::ostream& err, bool assumeYes);

  RadioSettings settings;
  int baudSel = -1, linkSel = -1, modeSel = -1, deviceSel = -1;
  bool baudEnabled = true, modeEnabled = true;
  std::vector<std::u16string> deviceList;
  int beeps = 0;
  // Where the job's steps are told (may be null), and why a port did not open (set by the job).
  JobProgress* progress = nullptr;
  OpenWatch* openWatch = nullptr;
  // A second log that gets every line too (a fleet's run log), or null.
  CLogFile* runLog = nullptr;
  // --quiet: standard error gets only errors (no waiting lines, no messages that are none).
  bool quiet = false;
  // In a fleet's process: where the waits are told to the fleet as notices (standard output),
  // in place of the waiting lines on standard error; null for a job of its own.
  std::ostream* waitNotices = nullptr;

  // Starts the bound of the external radio's wait for one connect: it gives up waitMs from now.
  void StartWaitBound(uint64_t waitMs);
  // The connect has ended: a fleet is told that this port waits no more.
  void EndWaits();
  // The last line logged and the texts of the message boxes shown, for the failure report.
  const std::u16string& LastLogLine() const { return lastLogLine_; }
  // The last "ERROR: " line logged, without that word ("" when none).
  const std::u16string& LastErrorLine() const { return lastErrorLine_; }
  // How late a refused reply came against the network path's round trip; empty when none was.
  const std::u16string& LateReplyLine() const { return lateReplyLine_; }
  const std::vector<std::u16string>& Messages() const { return messages_; }
  // Why the last wait for an external radio ended without one: the --wait bound passed.
  bool WaitTimedOut() const { return waitTimedOut_; }
  // The reason the port would not open, as told on standard error ("" when it did).
  const std::string& OpenProblemText() const { return openProblem_; }

  // SerialHost
  void TakeControls() override;
  std::u16string PortName() override { return settings.portName; }
  void LogLine(const std::u16string& text) override;
  int ShowMessage(const std::u16string& text, const std::u16string& caption,
                  unsigned type) override;
  // SettingsView
  RadioSettings& Settings() override { return settings; }
  void ShowRecord() override;
  int BaudSelection() override { return baudSel; }
  int ModeSelection() override { return modeSel; }
  int DeviceSelection() override { return deviceSel; }
  void SelectBaud(int index) override { baudSel = index; }
  void SelectMode(int index) override { modeSel = index; }
  void SelectDevice(int index) override { deviceSel = index; }
  void SelectLink(int index) override { linkSel = index; }
  void EnableBaud(bool enable) override { baudEnabled = enable; }
  void EnableMode(bool enable) override { modeEnabled = enable; }
  void Beep() override { ++beeps; }
  void BeginWait() override {}
  void EndWait() override {}
  void Disconnect() override;
  // ConnectView
  void FillDeviceList() override;
  void ClearRadioSettings() override;
  void ShowConnected() override {}
  bool AwaitExternalRadio(const std::u16string& rateText) override;

  // After the user changed the Baudrate, Mode or Device choice, as the dialog takes such a
  // change: logged; the internal radio stays Remote; the device entry sets the profile variant;
  // the handle profile brings 115200, link 0 and Remote with it.
  void SelectionChanged();

 private:
  CLogFile& log_;
  std::u16string tag_;
  std::ostream& err_;
  bool assumeYes_;
  uint64_t giveUpAtMs_ = UINT64_MAX;
  bool waitTimedOut_ = false;
  int ratesTried_ = 0;  // waits of this connect
  std::string openProblem_;
  std::u16string lastLogLine_;
  std::u16string lastErrorLine_;
  std::u16string lateReplyLine_;
  std::vector<std::u16string> messages_;
};

}  // namespace cli
