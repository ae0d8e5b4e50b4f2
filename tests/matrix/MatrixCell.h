#pragma once
// One cell of the fault matrix: a sequence the user runs, the step of it where a fault strikes,
// and the fault; and what the tool must show for it. The cells come from tables (the steps of
// each sequence, the faults that can strike at each kind of step), never written by hand.

#include <string>
#include <vector>

namespace matrix {

enum class Fault {
  kNoPrompt,     // the reply comes without its ">"
  kSilence,      // the line is not heard: no echo, no reply, no effect
  kGarbage,      // the line takes effect, its echo and reply arrive as noise
  kEndlessTalk,  // the line takes effect, then the radio talks for ever
  kSlow,         // the reply comes 400 ms late
  kWrongRate,    // from this line on the port runs at another rate than the radio
  kRadioGone,    // from this line on the radio hears and says nothing (cable pulled)
  kPortGone,     // after this line the port is gone (adapter pulled)
};

enum class Sequence {
  kConnectExternal,
  kConnectInternal,
  kReadHandle,
  kSave,
  kSaveRateSwitch,
  kHandleProfile,
  kDisconnectUnsaved,
  kResetUs,
  kResetSwiss,
  kReset2400,
  kResetInternal,
};

// How the tool puts a step on the line.
enum class StepKind { kBanner, kRaw, kLoneCr, kCommand };

struct Step {
  StepKind kind;
  std::string text;  // the line as written, without CR LF
};

struct Cell {
  Sequence sequence;
  int step;  // index into Script(sequence)
  Fault fault;
};

struct Box {
  std::u16string text;
  std::u16string caption;
  unsigned type;
  bool operator==(const Box&) const = default;
};

struct Expected {
  std::vector<std::string> log;  // from the sequence's first line on, byte-level reads left out
  std::vector<Box> boxes;
  std::string wire;  // what the tool wrote while the sequence ran
  bool connected = false;
  int beeps = 0;
  std::u16string baud;  // the Baudrate box at the end
  int saveResult = -1;  // SaveSettings' result, for the sequences that store
};

// The steps of a sequence in the order a run without faults writes them.
const std::vector<Step>& Script(Sequence sequence);
// The faults that can strike at a step of a sequence.
std::vector<Fault> FaultsAt(Sequence sequence, const Step& step);
std::vector<Cell> AllCells();

const char* SequenceName(Sequence sequence);
const char* FaultName(Fault fault);
std::string CellName(const Cell& cell);

// What the sequence rules say the tool does in the cell.
Expected Predict(const Cell& cell);

}  // namespace matrix
