// The sequence rules, written down a second time and kept small, to predict each cell of the
// fault matrix: which lines the tool logs, which boxes it shows, what it writes, and how it
// leaves the dialog. Written from the rules of connecting, reading, storing and the maker
// defaults reset, not from running the tool.
#include <map>
#include <string>

#include "platform/dialog/DialogConstants.h"
#include "sim/RadioModem.h"
#include "sim/RadioPresets.h"
#include "tests/matrix/LinkModel.h"
#include "tests/matrix/MatrixCell.h"

namespace matrix {

namespace {

using platform::MB_ICONEXCLAMATION;
using platform::MB_ICONQUESTION;
using platform::MB_ICONSTOP;
using platform::MB_OK;
using platform::MB_YESNO;
using platform::MB_YESNOCANCEL;

const char* const kRates[] = {"4800", "9600", "14400", "19200", "57600", "115200"};

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// The banner as the tool keeps it: from the first "W" up to the first ":", without CR and LF.
std::string CleanBanner(const char* preset) {
  sim::RadioConfig config;
  sim::ApplyPreset(preset, &config);
  std::string raw = sim::RadioModem(config).BannerText();
  raw = raw.substr(0, raw.find(':'));
  std::string out;
  for (char c : raw.substr(raw.find('W')))
    if (c != '\r' && c != '\n') out += c;
  return "Banner: " + out;
}

struct Query {
  const char* command;
  const char* logLine;
  const char16_t* caption;
};
const Query kQueries[] = {
    {"wb?", "ERROR: Could not read 'Mode'.", u"Mode"},
    {"wn?", "ERROR: Could not read 'Link number'.", u"Link number"},
    {"dx?", "ERROR: Could not read 'Range'.", u"Range"},
    {"pe?", "ERROR: Could not read 'Freq. band' (service).", u"Frequency band"},
    {"wu?", "ERROR: Point to Point direct mode.", u"Point to Point direct mode"},
    {"pn?", "Max No. of remotes.", u"Max No. of remotes"},
    {"pr?", "No. of retries.", u"No. of retries"},
};

// Reading the settings after a banner (the lines from ":wit2400" on).
void PredictReading(const Cell& cell, int firstLineStep, const char* preset, Expected& e) {
  const std::vector<Step>& script = Script(cell.sequence);
  LinkModel link(cell.fault, cell.step, 115200, 115200, e.log);
  e.log.push_back(CleanBanner(preset));
  link.Raw(firstLineStep, script[firstLineStep].text);
  bool ok = link.EmptyInput();
  size_t end = script.size();
  for (size_t i = firstLineStep + 1; ok && i < end; ++i) {
    if (link.Command(static_cast<int>(i), script[i].text)) continue;
    for (const Query& q : kQueries) {
      if (script[i].text != q.command) continue;
      e.log.push_back(q.logLine);
      e.boxes.push_back({u"Error", q.caption, MB_OK});
    }
    ok = false;
  }
  e.wire = link.Wire();
  if (ok) {
    e.log.push_back("Radio settings read OK.");
    e.beeps = 1;
    e.connected = true;
    return;
  }
  e.log.push_back("ERROR: Settings could not be read.");
  e.boxes.push_back({u"Settings could not be read.", u"Error", MB_OK});
}

// Faults before the banner: the rate walk, the internal radio's attempts, the open failures.
void PredictBanner(const Cell& cell, bool internal, Expected& e) {
  const std::string port = internal ? "COM3" : "COM1";
  int rate = 5;
  auto opened = [&] { e.log.push_back("Port " + port + " opened at " + kRates[rate]); };
  auto noBanner = [&] {
    e.log.push_back(internal ? "Could not read banner, port closed."
                             : "Could't read banner, port closed.");
    rate = (rate + 1) % 6;
  };
  auto openFailures = [&] {
    for (int failed = 1; failed <= 4; ++failed) {
      e.log.push_back("ERROR: Could not open port: " + port +
                      (internal ? std::string(" at ") + kRates[rate] : ""));
      rate = (rate + 1) % 6;
    }
    e.log.push_back("ERROR: Cannot open port. OnDetect returns.");
    e.boxes.push_back({u"Cannot open port.", u"Error", MB_OK});
  };
  switch (cell.fault) {
    case Fault::kSilence:
    case Fault::kSlow:
      if (internal || cell.fault == Fault::kSilence) {
        if (!internal) {
          opened();
          e.log.push_back("Tentative connection cancelled.");
          break;
        }
        for (int attempt = 0; attempt < 35; ++attempt) {
          opened();
          noBanner();
        }
        e.log.push_back("Could not connect to the internal radio.");
        e.boxes.push_back(
            {u"Could not connect to the internal radio.", u"QELM Config", MB_OK | MB_ICONSTOP});
        break;
      }
      [[fallthrough]];  // an external radio that starts late is simply waited for
    case Fault::kGarbage:
      opened();
      PredictReading(cell, 1, "vireo-us", e);
      break;
    case Fault::kWrongRate:
      while (kRates[rate] != std::string("19200")) {
        opened();
        noBanner();
      }
      opened();
      PredictReading(cell, 1, "vireo-us", e);
      break;
    case Fault::kPortGone:
      if (!internal) {
        opened();
        noBanner();
      }
      openFailures();
      break;
    default:
      break;
  }
  e.baud = Wide(kRates[rate]);
}

// Storing: "&Save", or Yes to the unsaved-settings question on Disconnect.
void PredictStore(const Cell& cell, Expected& e) {
  const std::vector<Step>& script = Script(cell.sequence);
  const bool handle = cell.sequence == Sequence::kHandleProfile;
  const bool rateSwitch = cell.sequence == Sequence::kSaveRateSwitch;
  if (cell.sequence == Sequence::kDisconnectUnsaved) {
    e.log.push_back("Button 'Disconnect' pressed.");
    e.boxes.push_back(
        {u"You have changed settings that have not been saved to the radio. Do "
         u"you want to save them now?",
         u"Unsaved Settings", MB_YESNOCANCEL | MB_ICONQUESTION});
  } else {
    e.log.push_back("Button 'Save' pressed.");
  }
  e.log.push_back("OnSave");
  LinkModel link(cell.fault, cell.step, 115200, 115200, e.log);
  static const std::map<std::string, std::string> failureLines = {
      {"wb1", "ERROR: Could not set 'Mode'."},
      {"wna", "ERROR: Could not set 'Link number'."},
      {"wn5", "ERROR: Could not set 'Link number'."},
      {"pn1", "ERROR: Could not set 'max. remotes'."},
      {"pw34", "ERROR: Could not set 'max. buffer size'."},
      {"pr30", "ERROR: Could not set 'packet delivery attempts'."},
      {"wu01", "ERROR: Could not set 'Point-To-Point' (service)."},
      {"dx00", "ERROR: Could not set 'Range'."},
  };
  static const char* const handleLines[] = {"'Protocol Mode'",
                                            "'Transceiver Mode'",
                                            "'Default handle'",
                                            "'Global network mode'",
                                            "'Lock out key'",
                                            "'Link number'",
                                            "'Transmit power'",
                                            "'Point to point direct mode'",
                                            "'Range optimisation'",
                                            "'Frequency band setting'",
                                            "'Minimum data length'",
                                            "'No. of retries'",
                                            "'Data transmit delay'",
                                            "'ARQ mode'",
                                            "'Banner display'",
                                            "'Escape sequence mode'",
                                            "'Wake up duty cycle mode'",
                                            "'Low power aquisition'"};

  int result = 0;
  bool complete = true;
  size_t i = 0;
  // The commands that stop the store at once: mode and link, or the whole handle profile.
  const size_t stopping = handle ? 18 : 2;
  for (; i < stopping; ++i) {
    if (link.Command(static_cast<int>(i), script[i].text)) continue;
    e.log.push_back(handle ? std::string("ERROR: Could not set ") + handleLines[i] + "."
                           : failureLines.at(script[i].text));
    result = 1;
    break;
  }
  if (result == 0 && rateSwitch) {
    if (!link.Raw(2, "sd0B", 19200, true)) {
      result = 1;
    } else {
      e.log.push_back("Baudrate set to 19200 with sd0B");
      if (!link.SetPortRate(19200)) {
        e.log.push_back("ERROR: Could not set computer to new baudrate.");
        result = 2;
      } else {
        bool written = link.LoneCr(3);
        written = link.Raw(4, "sd?") && written;
        if (!link.EmptyInput() || !written) {
          e.log.push_back("ERROR: Could not connect to radio at new baudrate 19200");
          result = 1;
        }
      }
    }
    i = 5;
  }
  if (result == 0) {
    for (; i + 2 < script.size(); ++i) {
      if (link.Command(static_cast<int>(i), script[i].text)) continue;
      e.log.push_back(failureLines.at(script[i].text));
      complete = false;
      break;
    }
    const int storeStep = static_cast<int>(script.size()) - 2;
    bool stored = link.Raw(storeStep, "m>");
    stored = link.Raw(storeStep + 1, "z>") && stored;
    if (!stored || !complete) result = 1;
  }
  if (result == 0) {
    e.beeps = 1;
    e.log.push_back(handle ? "Corax settings stored OK." : "Settings stored OK.");
  }
  e.boxes.push_back(
      {result == 0 ? u"Settings saved." : u"Error. Settings not saved.", u"QELM Config", MB_OK});
  e.saveResult = result;
  e.wire = link.Wire();
  // The Baudrate box keeps what the user chose, also when the switch failed.
  e.baud = rateSwitch ? u"19200" : u"115200";
}

// The maker defaults reset, answered Yes.
void PredictReset(const Cell& cell, Expected& e) {
  const std::vector<Step>& script = Script(cell.sequence);
  const bool m2400 = cell.sequence == Sequence::kReset2400;
  const bool internal = cell.sequence == Sequence::kResetInternal;
  const bool us = cell.sequence == Sequence::kResetUs;
  const int startRate = m2400 ? 9600 : 115200;
  e.log.push_back("Button 'Default' pressed.");
  e.boxes.push_back({u"Reset the radio modem to Morva defaults and lose all current settings?",
                     u"QELM Config", MB_YESNO | MB_ICONEXCLAMATION});
  // Model 2400 reads no range, so the US flag is what the selection change rule left: the
  // user picked the Baudrate before connecting, with no device chosen, which counts as US.
  e.log.push_back(us || internal || m2400 ? "Morva US defaults saved."
                                          : "Morva Swiss defaults saved.");
  LinkModel link(cell.fault, cell.step, startRate, startRate, e.log);

  bool complete = link.Raw(0, "m0", m2400 ? 9600 : 0);
  bool ok = true;
  size_t i = 1;
  std::string last;
  if (m2400) {
    if (!link.Reopen(9600, e.boxes)) {
      e.log.push_back("ERROR: Could not re-open port at 9600. (wit2400)");
      ok = false;
    }
    if (ok && !link.Command(1, "pe1")) {
      e.log.push_back("ERROR: Could not set 'Band to France'.");
      ok = false;
    }
    if (ok && !link.Command(2, "wt1")) {
      e.log.push_back("ERROR: Could not set 'Channel access mode'.");
      ok = false;
    }
    i = 3;
  } else {
    if (!link.Command(1, script[1].text)) {
      e.log.push_back("ERROR: Could not set 'Band'.");
      ok = false;
    }
    i = 2;
  }
  static const std::map<std::string, std::string> profileLines = {
      {"pn1", "ERROR: Could not set 'max. remotes'."},
      {"pw30", "ERROR: Could not set 'max. buffer size'."},
      {"pw34", "ERROR: Could not set 'max. buffer size'."},
      {"pr10", "ERROR: Could not set 'packet delivery attempts'."},
      {"pr30", "ERROR: Could not set 'packet delivery attempts'."},
      {"wu01", "ERROR: Could not set 'Point-To-Point' (service)."},
      {"dx04", "ERROR: Could not set 'Range'."},
      {"dx00", "ERROR: Could not set 'Range'."},
  };
  for (; profileLines.count(script[i].text); ++i) {
    if (link.Command(static_cast<int>(i), script[i].text)) continue;
    e.log.push_back(profileLines.at(script[i].text));
    complete = false;
    while (profileLines.count(script[i + 1].text)) ++i;
    ++i;
    break;
  }
  const int modeStep = static_cast<int>(i);
  if (ok) {
    last = script[modeStep].text;
    if (!link.Command(modeStep, last)) {
      e.log.push_back("ERROR: Could not set the transceiver mode.");
      ok = false;
    }
  }
  int rateStep = modeStep + 1;
  std::string baud = m2400 ? "9600" : "115200";
  if (ok && !internal) {
    const std::string command = script[rateStep].text;
    const int newRate = us || m2400 ? 19200 : 115200;
    baud = std::to_string(newRate);
    last = command;
    if (!link.Raw(rateStep, command, newRate)) complete = false;
    if (!link.Reopen(newRate, e.boxes)) {
      e.log.push_back("ERROR: Could not re-open port.");
      ok = false;
    }
  }
  const int storeStep = internal ? rateStep : rateStep + 1;
  if (ok) {
    e.log.push_back("Baudrate set to " + baud + " with " + last);
    if (!link.Command(storeStep, "m>")) {
      e.log.push_back("ERROR: Could not store defaults settings.");
      ok = false;
    }
  }
  if (ok && !link.Raw(storeStep + 1, "z>")) complete = false;
  if (ok && complete)
    e.beeps = 1;
  else
    e.boxes.push_back({u"Error. Verify communication line.", u"QELM Config", MB_OK | MB_ICONSTOP});
  e.wire = link.Wire();
  e.baud = Wide(baud);
}

}  // namespace

Expected Predict(const Cell& cell) {
  Expected e;
  const Step& step = Script(cell.sequence).at(cell.step);
  switch (cell.sequence) {
    case Sequence::kConnectExternal:
    case Sequence::kConnectInternal: {
      const bool internal = cell.sequence == Sequence::kConnectInternal;
      e.log.push_back("Button 'Connect' pressed.");
      if (step.kind == StepKind::kBanner) {
        PredictBanner(cell, internal, e);
        break;
      }
      e.log.push_back(internal ? "Port COM3 opened at 115200" : "Port COM1 opened at 115200");
      PredictReading(cell, 1, "vireo-us", e);
      e.baud = u"115200";
      break;
    }
    case Sequence::kReadHandle:
      e.log.push_back("Button 'Connect' pressed.");
      e.log.push_back("Port COM1 opened at 115200");
      PredictReading(cell, 0, "corax", e);
      e.baud = u"115200";
      break;
    case Sequence::kSave:
    case Sequence::kSaveRateSwitch:
    case Sequence::kHandleProfile:
    case Sequence::kDisconnectUnsaved:
      PredictStore(cell, e);
      break;
    default:
      PredictReset(cell, e);
      break;
  }
  return e;
}

}  // namespace matrix
