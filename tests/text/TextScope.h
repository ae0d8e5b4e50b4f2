#pragma once
// The terminal backend installed on a scripted terminal and the virtual clock for a test, and a
// dialog on any template whose handlers the test sets.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ScriptedTerminal.h"
#include "platform/dialog/CDialog.h"
#include "platform/dialog/text/TextBackend.h"

namespace terminal_test {

using namespace platform;

// A dialog on any template whose handlers the test sets.
class ProbeDialog : public CDialog {
 public:
  explicit ProbeDialog(int templateId, CDialog* parent = nullptr) : CDialog(templateId, parent) {}
  void On(int id, std::function<void()> handler) { OnButtonClicked(id, std::move(handler)); }
  void OnTimer(std::function<void(int)> handler) { OnTimerMessage(std::move(handler)); }
  std::function<void()> init;

 protected:
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    if (init) init();
    return true;
  }
};

struct TextScope : ::testing::Test {
  VirtualClock clock;
  ScopedClock scopedClock{clock};
  ScriptedTerminal term{80, 24};
  TextBackend backend{term};
  TextScope() { SetBackend(&backend); }
  ~TextScope() override { SetBackend(nullptr); }

  uint64_t ElapsedMs(uint64_t startUs) { return (clock.NowUs() - startUs) / 1000; }
  // The frames shown while a given number of layers was up.
  const std::vector<TextCanvas>& FramesAtDepth(size_t depth) { return framesByDepth_[depth]; }
  void RecordFrames() {
    term.onShow = [this](const TextCanvas& f) { framesByDepth_[backend.Depth()].push_back(f); };
  }

 private:
  std::map<size_t, std::vector<TextCanvas>> framesByDepth_;
};

inline bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

}  // namespace terminal_test
