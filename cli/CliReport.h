#pragma once
// What one job on one port came to, and the ways the program tells it: aligned text for a
// person, one JSON object (a line of JSON Lines) or one CSV row for a script, and the record
// line a fleet's process hands to the fleet (the JSON object behind a fixed word, never shown
// to the user). Every field is in every JSON object: what is not known is null, never left out.
// Plain data and formatting; nothing fails.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/SavePlan.h"
#include "radio/StoreProgress.h"

namespace cli {

struct JobReport {
  std::string job;  // "read", "save", "reset"
  std::string port;
  int status = 1;
  std::string result;  // "done", "failed", "declined", "port not opened", "rate refused", ...
  // How far the radio work got: "not started" (nothing was changed on the radio), "read",
  // "started" (a store or reset began and failed), "interrupted" (stopped at once in the
  // middle of one), "stored", "verified".
  std::string phase = "not started";
  std::string error;          // the failing log line and message, when it failed
  std::string note;           // what a person should know although nothing failed
  bool haveSettings = false;  // the radio was identified (model and firmware are known)
  int model = 0;
  std::string firmware;
  // As the radio was last read; unknown (-1, empty) after a reset or before a reading.
  int deviceIndex = -1;
  std::string deviceName;
  int link = -1;
  std::string mode;  // "Remote", "Base", or empty when not known
  std::string rate;  // the rate the radio answers at now; empty when not known
  // Whether what the radio holds is stored: true when "m>" and "z>" were written and the line
  // confirmed them, false when "m>" was never written, unknown (unset) otherwise. It applies to
  // the jobs that store (save, reset); a read leaves it unset and does not show it.
  std::optional<bool> stored;
  bool storeJob = false;
  std::vector<std::string> failed;         // registers whose set commands failed ("pr")
  std::vector<std::string> notVerifiable;  // registers the verify's reading cannot ask for
  bool service = false;                    // band and power were read
  int band = 0;
  std::string bandName;
  int power = 0;
  std::string powerName;
  std::optional<bool> verified;  // save --verify
  // What the save would change (--plan) or changed, against its reading; unset when no plan
  // was made (a read, a reset without --plan, a job that failed before its reading).
  std::optional<std::vector<PlanChange>> changes;
  // The link a fleet's ports file gave this port, carried so that a retry asks for it again.
  std::optional<int> linkAsked;
  double seconds = 0;
  std::string started, ended;  // ISO 8601 with the zone; "" unknown
  // The measured round trip of the network path to the port's server (ms); -1 for a local
  // line, or when no line was opened.
  int pathMs = -1;
};

// Now as ISO 8601 local time with its zone ("2026-12-09T00:41:07+01:00").
std::string IsoNow();

std::string ReportText(const JobReport& r);
std::string ReportJson(const JobReport& r);  // one line, with its line end
std::string ReportCsvHeader();
std::string ReportCsv(const JobReport& r);

// The log's line for what a job came to: its result and phase, whether the store command was
// sent and what the radio holds, the rate it answers at, the registers that failed.
std::string ResultLogLine(const JobReport& r);

struct FleetSummary {
  int ports = 0, done = 0, failed = 0, notStarted = 0, stopped = 0;
  // How many ports ended with each result ("done", "unchanged", "planned", "failed", ...).
  std::map<std::string, int> results;
  std::string started, ended;
  int worst = 0;   // the worst status of the ports
  int status = 0;  // the fleet's own exit status
  int signal = 0;  // the signal that stopped the fleet, 0 none
  double seconds = 0;
  std::string runLog;  // the run's own log file
};
std::string SummaryJson(const FleetSummary& s);
std::string SummaryText(const FleetSummary& s);

// Where a radio was left answering at a rate it has not stored: what it answers at, and what
// it will answer at and hold once restarted. Every connection restarts the radio (the internal
// one when its port opens, an external one when its cable is reconnected), and a restarted
// radio answers at the rate it stored with the settings it stored: an unstored rate command and
// the settings sent with it last only until then. Empty when nothing was left so.
std::string RecoveryHint(const std::string& port, const radio::StoreProgress::State& st);

// The fleet's record line and its reading back.
std::string RecordLine(const JobReport& r);
bool ParseRecordLine(const std::string& line, JobReport* r);
// One report object as ReportJson writes it; false for anything else.
bool ParseReportJson(const std::string& text, JobReport* r);

// A text as a JSON string, quotes included. Everything but printable ASCII is escaped (the C1
// controls too); a byte sequence that is not UTF-8 shows as U+FFFD.
std::string JsonString(const std::string& text);
// A UTF-8 text as a terminal may show it: what came from the radio (its firmware text, a
// reply in a log line) can hold escape sequences, which are shown, never sent.
std::string Printable(const std::string& text);

}  // namespace cli
