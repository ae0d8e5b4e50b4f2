#include "cli/CliView.h"

#include <cctype>
#include <optional>
#include <ostream>

#include "cli/PortNames.h"
#include "cli/WaitNotice.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/ControllingTerminal.h"
#include "platform/system/SafeText.h"
#include "platform/system/StopSignals.h"
#include "radio/RadioStartWatch.h"
#include "radio/RadioTables.h"
#include "radio/SelectionRule.h"
#include "serial/CSerialPort.h"
#include "serial/RadioExchange.h"

namespace cli {

namespace {

constexpr char16_t kAppName[] = u"QELM Config";
constexpr uint32_t kSettleMs = 100;

bool BeginsWithIgnoringCase(std::u16string_view entry, const std::u16string& text) {
  if (text.size() > entry.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t a = entry[i], b = text[i];
    if (a < 128 && b < 128 && std::tolower(a) == std::tolower(b)) continue;
    if (a != b) return false;
  }
  return true;
}

// As the combo box's select-string: the first entry that begins with the text.
template <typename List>
void SelectByText(const List& list, const std::u16string& text, int* selection) {
  if (text.empty()) return;
  for (size_t i = 0; i < list.size(); ++i)
    if (BeginsWithIgnoringCase(list[i], text)) {
      *selection = static_cast<int>(i);
      return;
    }
}

std::u16string Decimal(int value) {
  std::string d = std::to_string(value);
  return std::u16string(d.begin(), d.end());
}

}  // namespace

CliView::CliView(CLogFile& log, std::u16string tag, std::ostream& err, bool assumeYes)
    : log_(log), tag_(std::move(tag)), err_(err), assumeYes_(assumeYes) {}

void CliView::StartWaitBound(uint64_t waitMs) {
  giveUpAtMs_ = platform::NowMs() + waitMs;
  ratesTried_ = 0;
}

void CliView::EndWaits() {
  if (waitNotices && ratesTried_ > 0)
    *waitNotices << WaitNoticeLine({"", 0, {}, true}) << "\n" << std::flush;
  ratesTried_ = 0;
}

void CliView::TakeControls() {
  settings.baudText = baudSel >= 0 ? std::u16string(radio::kBaudRates[baudSel]) : u"";
  settings.linkText = linkSel >= 0 ? Decimal(linkSel) : u"";
  settings.modeText = modeSel >= 0 && modeSel < static_cast<int>(radio::kModes.size())
                          ? std::u16string(radio::kModes[modeSel])
                          : u"";
  settings.deviceText = deviceSel >= 0 && deviceSel < static_cast<int>(deviceList.size())
                            ? deviceList[deviceSel]
                            : u"";
}

void CliView::ShowRecord() {
  SelectByText(radio::kBaudRates, settings.baudText, &baudSel);
  SelectByText(deviceList, settings.deviceText, &deviceSel);
  std::vector<std::u16string> links;
  for (int i = 0; i < radio::kLinkCount; ++i) links.push_back(Decimal(i));
  SelectByText(links, settings.linkText, &linkSel);
  SelectByText(radio::kModes, settings.modeText, &modeSel);
}

void CliView::LogLine(const std::u16string& text) {
  lastLogLine_ = text;
  if (text.rfind(u"ERROR: ", 0) == 0) lastErrorLine_ = text.substr(7);
  if (text.rfind(u"ERROR: the radio's reply came ", 0) == 0) lateReplyLine_ = text.substr(7);
  // A line of several (a reply, a banner) keeps the tag on each of its continuation lines.
  std::u16string tagged = tag_;
  for (size_t i = 0; i < text.size(); ++i) {
    tagged += text[i];
    if (!tag_.empty() && text[i] == u'\n' && i + 1 < text.size()) tagged += tag_;
  }
  if (runLog) runLog->LogLine(tagged);
  log_.LogLine(tagged);
}

int CliView::ShowMessage(const std::u16string& text, const std::u16string& caption, unsigned type) {
  const std::u16string title = caption.empty() ? kAppName : caption;
  if ((type & 0xF) != platform::MB_YESNO && (type & 0xF) != platform::MB_YESNOCANCEL) {
    messages_.push_back(text);
    std::string shown = platform::SafeUtf8(title + u": " + text);
    if (text == u"Cannot open port." && openWatch && openWatch->LastOpenError() != 0) {
      // A network server's own reason names HOST:PORT and says more than the errno value.
      const std::string why = openWatch->FailureText();
      openProblem_ = why.empty() ? DeviceOfPort(settings.portName) + ": " +
                                       OpenProblem(openWatch->LastOpenError())
                                 : why;
      shown += " " + platform::SafeUtf8(platform::Utf8ToWide(openProblem_));
    }
    const bool error = title == u"Error" || text.find(u"Error") != std::u16string::npos ||
                       text.find(u"Cannot") != std::u16string::npos;
    if (!quiet || error) err_ << shown << std::endl;
    return platform::IDOK;
  }
  const std::string question = platform::SafeUtf8(title + u": " + text) + " [y/N] ";
  if (assumeYes_) {
    err_ << question << "yes (--yes)" << std::endl;
    return platform::IDYES;
  }
  // Only a person answers: the terminal's own line, never a pipe into standard input. A stop
  // signal is no answer: the question ends and nothing is done.
  auto stopping = [] { return platform::StopSignals::First() != 0; };
  if (stopping()) return platform::IDNO;
  std::string answer = platform::AskTerminal(question, stopping).value_or("");
  if (stopping()) return platform::IDNO;
  for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return answer == "y" || answer == "yes" ? platform::IDYES : platform::IDNO;
}

void CliView::Disconnect() {
  ClearRadioSettings();
  // The dialog's port stays open while its message box is read; here the program would close
  // it the moment the last line is written. A radio stand-in on a pseudo-terminal stops
  // listening when the port closes, so give the line a moment to be heard.
  if (CSerialPort::IsOpen()) platform::Sleep(kSettleMs);
  CSerialPort::ClosePort();
  settings.connected = false;
}

void CliView::FillDeviceList() {
  deviceList.clear();
  for (const auto& entry : radio::DeviceList(settings.modelNumber))
    deviceList.emplace_back(entry.text);
  settings.deviceIndex = -1;
  deviceSel = -1;
  settings.readBaudIndex = settings.readLink = settings.readMode = -1;
  ShowRecord();
}

void CliView::ClearRadioSettings() {
  settings.deviceText.clear();
  settings.deviceIndex = -1;
  deviceSel = -1;
  linkSel = -1;
  settings.linkText.clear();
  modeSel = -1;
  settings.modeText.clear();
  settings.modeIndex = -1;
  settings.bannerText.clear();
  settings.usProfile = false;
  firmwareLabel = kFirmwareNotConnected;
  settings.firmwareVersion = -1.0;
  baudEnabled = true;
  ShowRecord();
}

bool CliView::AwaitExternalRadio(const std::u16string& rateText) {
  // Which rate, the how-manieth of this connect, and how much of the --wait bound is left.
  ++ratesTried_;
  const uint64_t now = platform::NowMs();
  std::optional<uint64_t> left;
  if (giveUpAtMs_ != UINT64_MAX) left = giveUpAtMs_ > now ? giveUpAtMs_ - now : 0;
  const std::string rate = platform::WideToUtf8(rateText);
  if (waitNotices)
    *waitNotices << WaitNoticeLine({rate, ratesTried_, left, false}) << "\n" << std::flush;
  else if (!quiet)
    err_ << WaitingText(rate, ratesTried_, left) << std::endl;
  waitTimedOut_ = false;
  return radio::WatchForRadioStart(
      [this] {
        if (platform::StopSignals::First() != 0) return true;
        return waitTimedOut_ = platform::NowMs() >= giveUpAtMs_;
      },
      [] {});
}

void CliView::SelectionChanged() {
  radio::ApplySelectionChange(*this);
}

}  // namespace cli
