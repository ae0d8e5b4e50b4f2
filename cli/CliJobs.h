#pragma once
// The jobs of qelm-cli on one port: read, save (read, put the options on top, store with
// SaveSettings, and with --verify connect again at the new rate and compare what the radio
// holds with what was stored) and reset (read, then ResetToDefaults). Each connects exactly as
// the dialog does, through radio::ConnectRadio, and ends with the port closed.
//
// A stop signal is heeded between steps: a job that has not begun its store or reset does not
// begin it (and a wait for an external radio ends), one that has begun runs it to its end,
// and no verify follows. The report says how far the job got (its phase), the rate the radio
// answers at and whether its settings are stored, as far as the line confirmed what was sent;
// a verify compares what the store sent with what the reading parsed, and names the registers
// the reading does not ask for as not verifiable.
//
// Results are the program's exit status: 0 done, 1 a step failed (or the reset was declined,
// or the radio holds other values than were stored), 2 the port refused the new rate, 3 the
// port could not be opened or was not open. Every failure is logged by the sequences and
// summed up in the report.

#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/CliView.h"
#include "radio/StoreProgress.h"

namespace cli {

int RunJob(CliView& view, const CliOptions& options, JobReport* report);

// What a store or reset's record says into the report: stored (true, false or unknown), the
// rate the radio answers at ("" unknown), the failed registers, the phase ("stored", or
// "started" / "interrupted" for one that did not end confirmed) and, for a radio left
// answering at a rate it has not stored, the note RecoveryHint gives. Nothing when none began.
void TakeStore(const radio::StoreProgress::State& store, bool interrupted, JobReport* report);

}  // namespace cli
