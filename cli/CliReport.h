#pragma once
// What one job on one port came to, and the three ways the program tells it: aligned text for a
// person, one JSON object for a script, and the tab-separated record line a fleet's process
// hands to the fleet (never shown to the user). Plain data and formatting; nothing fails.

#include <optional>
#include <string>

namespace cli {

struct JobReport {
  std::string job;  // "read", "save", "reset"
  std::string port;
  int status = 1;
  std::string result;         // "done", "failed", "declined", "port not opened", "rate refused"
  std::string error;          // the failing log line and message, when it failed
  bool haveSettings = false;  // the radio was read (model and the settings below are known)
  int model = 0;
  std::string firmware;
  int deviceIndex = -1;
  std::string deviceName;
  int link = -1;
  std::string mode;  // "Remote", "Base", or empty when the radio reported neither
  std::string rate;  // the rate the radio is at now (after a save or reset: its new rate)
  bool service = false;
  int band = 0;
  std::string bandName;
  int power = 0;
  std::string powerName;
  std::optional<bool> verified;  // save --verify
};

std::string ReportText(const JobReport& r);
std::string ReportJson(const JobReport& r);

// The fleet's record line: a fixed word, then the fields separated by tabs.
std::string RecordLine(const JobReport& r);
bool ParseRecordLine(const std::string& line, JobReport* r);

// A text as a JSON string, quotes included. Control characters, the C1 ones too, are escaped.
std::string JsonString(const std::string& text);
// A UTF-8 text as a terminal may show it: what came from the radio (its firmware text, a
// reply in a log line) can hold escape sequences, which are shown, never sent.
std::string ForTerminal(const std::string& text);

}  // namespace cli
