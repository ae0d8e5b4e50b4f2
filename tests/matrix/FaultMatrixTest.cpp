// The fault matrix: every sequence of the tool against every fault of the radio, the line and
// the port, at every step where the fault can strike, on the headless backend with the radio
// stand-in on the virtual clock. Each cell compares what the tool did with what the sequence
// rules predict (SequenceModel.cpp): the log, the message boxes, what went on the wire, the
// result, the port and the dialog. The run ends with one line of totals.
#include <gtest/gtest.h>

#include <iostream>

#include "app/CConfigApp.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/headless/HeadlessScope.h"
#include "radio/StoreSettings.h"
#include "resources/resource.h"
#include "sim/RadioPresets.h"
#include "tests/matrix/FaultyLine.h"
#include "tests/matrix/LogEntries.h"
#include "tests/matrix/MatrixCell.h"
#include "tests/unit/TestSupport.h"
#include "ui/CConfigDlg.h"

namespace matrix {

namespace {

constexpr int D = IDD_QELMCONFIG_DIALOG;
constexpr int W = IDD_WAITRADIO;

struct Setup {
  std::string preset;
  uint32_t rate;
  bool internal;
};

Setup SetupOf(Sequence s) {
  switch (s) {
    case Sequence::kConnectExternal:
    case Sequence::kResetUs:
      return {"vireo-us", 115200, false};
    case Sequence::kConnectInternal:
    case Sequence::kResetInternal:
      return {"vireo-us", 115200, true};
    case Sequence::kReadHandle:
    case Sequence::kHandleProfile:
      return {"corax", 115200, false};
    case Sequence::kReset2400:
      return {"2400", 9600, false};
    default:
      return {"shrike", 115200, false};
  }
}

bool IsConnect(Sequence s) {
  return s == Sequence::kConnectExternal || s == Sequence::kConnectInternal ||
         s == Sequence::kReadHandle;
}

bool IsStore(Sequence s) {
  return s == Sequence::kSave || s == Sequence::kSaveRateSwitch || s == Sequence::kHandleProfile ||
         s == Sequence::kDisconnectUnsaved;
}

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// One run of the tool in a cell: the dialog, the radio and the line, in a folder of its own.
class Bench {
 public:
  explicit Bench(const Cell& cell)
      : cell_(cell), setup_(SetupOf(cell.sequence)), step_(Script(cell.sequence).at(cell.step)) {
    platform::SetSerialProvider(&line_);
  }
  ~Bench() {
    dlg.reset();
    platform::SetSerialProvider(nullptr);
  }

  // Attaches the radio, opens the dialog and, for the sequences that need one, connects and
  // makes the user's choices. Then arms the fault.
  void Prepare() {
    sim::RadioConfig config;
    ASSERT_TRUE(sim::ApplyPreset(setup_.preset, &config));
    config.baud = setup_.rate;
    config.internal = setup_.internal;
    const bool connect = IsConnect(cell_.sequence);
    // A connect sequence replugs the cable at every open; the others once, so that the
    // reset's reopenings do not restart the radio.
    config.reconnectAfterOpenMs = !setup_.internal && connect ? 400 : -1;
    const bool banner = step_.kind == StepKind::kBanner;
    if (banner) {
      if (cell_.fault == Fault::kSilence) config.reconnectAfterOpenMs = -1;
      if (cell_.fault == Fault::kGarbage) config.plugNoiseBytes = 12;
      if (cell_.fault == Fault::kSlow) config.bootMs = setup_.internal ? 1000 : 3000;
      if (cell_.fault == Fault::kWrongRate) config.baud = 19200;
    }
    if (banner && setup_.internal && cell_.fault == Fault::kSilence)
      ports.SetBusy(Port(), false);  // the port is there, no radio answers on it
    else
      radio = &ports.Attach(Port(), config);

    dlg = std::make_unique<CConfigDlg>();
    ASSERT_TRUE(dlg->Create());
    ASSERT_TRUE(ui.SelectText(D, IDC_PORT, PortName()));
    ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, Wide(std::to_string(setup_.rate))));
    if (!connect) {
      if (!setup_.internal) ports.ScheduleReconnect(Port(), 400000);
      ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
      ASSERT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
      if (cell_.sequence == Sequence::kSave || cell_.sequence == Sequence::kDisconnectUnsaved) {
        ASSERT_TRUE(ui.SelectText(D, IDC_MODE, u"Base"));
        ASSERT_TRUE(ui.SelectText(D, IDC_LINK, u"10"));
      }
      if (cell_.sequence == Sequence::kSaveRateSwitch) {
        ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, u"19200"));
      }
    }
    Arm();
    ui.boxes.clear();
    ui.beeps.clear();
    logBefore_ = LogEntries(ReadLog()).size();
  }

  // What the user does to run the sequence.
  void Run() {
    if (step_.kind == StepKind::kBanner && !setup_.internal) {
      if (cell_.fault == Fault::kSilence)
        ui.Schedule(2000, [this] { EXPECT_TRUE(ui.Click(W, IDC_WAIT_CANCEL)); });
      if (cell_.fault == Fault::kPortGone)
        ui.Schedule(600, [this] { line_.StrikeNow(FaultyLine::Trouble::kPortGone); });
    }
    if (step_.kind == StepKind::kBanner && setup_.internal && cell_.fault == Fault::kPortGone)
      ports.SetBusy(Port(), true);  // another program took the port after the list was made
    switch (cell_.sequence) {
      case Sequence::kSave:
      case Sequence::kSaveRateSwitch:
      case Sequence::kHandleProfile:
        ASSERT_TRUE(ui.Click(D, IDC_SAVE));
        break;
      case Sequence::kDisconnectUnsaved:
        ui.AnswerNext(platform::IDYES);
        ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
        break;
      case Sequence::kResetUs:
      case Sequence::kResetSwiss:
      case Sequence::kReset2400:
      case Sequence::kResetInternal:
        ui.AnswerNext(platform::IDYES);
        ASSERT_TRUE(ui.Click(D, IDC_DEFAULT));
        break;
      default:
        ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
        break;
    }
  }

  // The log entries the sequence wrote, without the byte-level ones.
  std::vector<std::string> SequenceLog() {
    std::vector<std::string> all = LogEntries(ReadLog()), out;
    for (size_t i = logBefore_; i < all.size(); ++i)
      if (!IsByteLevel(all[i])) out.push_back(all[i]);
    return out;
  }

  std::u16string Port() const { return PortName() + u":"; }
  std::u16string PortName() const { return setup_.internal ? u"COM3" : u"COM1"; }
  const std::string& Wire() const { return line_.Wire(); }

  testing_support::TempFolder folder;
  platform::HeadlessScope scope;
  platform::HeadlessBackend& ui = scope.ui;
  sim::SimulatedPorts ports{scope.clock};
  CConfigApp app;
  std::unique_ptr<CConfigDlg> dlg;
  sim::RadioModem* radio = nullptr;

 private:
  void Arm() {
    if (step_.kind == StepKind::kBanner) {
      line_.Arm(FaultyLine::Trouble::kNone, -1, radio);
      return;
    }
    const bool bannerFirst = Script(cell_.sequence).front().kind == StepKind::kBanner;
    const int lineIndex = cell_.step - (bannerFirst ? 1 : 0);
    FaultyLine::Trouble trouble = FaultyLine::Trouble::kNone;
    switch (cell_.fault) {
      case Fault::kWrongRate:
        trouble = FaultyLine::Trouble::kWrongRate;
        break;
      case Fault::kRadioGone:
        trouble = FaultyLine::Trouble::kRadioGone;
        break;
      case Fault::kPortGone:
        trouble = FaultyLine::Trouble::kPortGone;
        break;
      default:
        radio->SetCommandFault(step_.text, SimFault(cell_.fault));
        break;
    }
    line_.Arm(trouble, lineIndex, radio);
  }
  static sim::RadioFault SimFault(Fault f) {
    switch (f) {
      case Fault::kNoPrompt:
        return sim::RadioFault::kNoPrompt;
      case Fault::kSilence:
        return sim::RadioFault::kSilence;
      case Fault::kGarbage:
        return sim::RadioFault::kGarbage;
      case Fault::kEndlessTalk:
        return sim::RadioFault::kEndlessTalk;
      default:
        return sim::RadioFault::kSlow;
    }
  }
  std::string ReadLog() const { return testing_support::ReadFile(folder.LogPath()); }

  Cell cell_;
  Setup setup_;
  Step step_;
  FaultyLine line_{ports};
  size_t logBefore_ = 0;
};

class FaultMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(FaultMatrix, ToolDoesWhatTheRulesSay) {
  const Cell& cell = GetParam();
  const Expected want = Predict(cell);
  {
    Bench bench(cell);
    ASSERT_NO_FATAL_FAILURE(bench.Prepare());
    ASSERT_NO_FATAL_FAILURE(bench.Run());
    auto& ui = bench.ui;
    EXPECT_EQ(bench.SequenceLog(), want.log);
    std::vector<Box> boxes;
    for (const auto& b : ui.boxes) boxes.push_back({b.text, b.caption, b.type});
    EXPECT_EQ(boxes, want.boxes);
    EXPECT_EQ(bench.Wire(), want.wire) << "what the tool put on the line";
    EXPECT_EQ(static_cast<int>(ui.beeps.size()), want.beeps);
    // The port and the dialog agree with the outcome.
    const bool c = want.connected;
    EXPECT_EQ(bench.dlg->m_settings.connected, c);
    EXPECT_EQ(bench.ports.IsOpen(bench.Port()), c);
    EXPECT_EQ(ui.Text(D, IDC_CONNECT), c ? u"Disco&nnect" : u"Co&nnect");
    for (int id : {IDC_SAVE, IDC_DEFAULT, IDC_DEVICE, IDC_LINK})
      EXPECT_EQ(ui.Enabled(D, id), c) << id;
    EXPECT_EQ(ui.Enabled(D, IDC_PORT), !c);
    EXPECT_EQ(ui.Text(D, IDC_BAUDRATE), want.baud);
    EXPECT_EQ(ui.waitCursorDepth, 0);
    EXPECT_FALSE(ui.stuck);
  }
  if (!IsStore(cell.sequence)) return;
  // The store's own result, from the same start, called as the dialog calls it.
  Bench bench(cell);
  ASSERT_NO_FATAL_FAILURE(bench.Prepare());
  EXPECT_EQ(radio::SaveSettings(*bench.dlg), want.saveResult) << "SaveSettings' result";
  EXPECT_EQ(bench.Wire(), want.wire);
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(AllCells()),
                         [](const auto& info) { return CellName(info.param); });

// Prints the totals as one line when the run ends.
class Totals : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (!info.value_param()) return;
    ++cells_;
    if (info.result()->Passed()) ++passed_;
  }
  void OnTestProgramEnd(const ::testing::UnitTest&) override {
    std::cout << "fault matrix: " << cells_ << " cells, " << passed_ << " passed" << std::endl;
  }
  int cells_ = 0, passed_ = 0;
};

}  // namespace

}  // namespace matrix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new matrix::Totals);
  return RUN_ALL_TESTS();
}
