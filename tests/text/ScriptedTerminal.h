#pragma once
// A terminal for tests: input events scripted at virtual times, every shown frame kept. Its
// waits sleep on the platform clock (the virtual one in tests), so timers and polls advance
// time as they would on a real terminal. When the script has run out and ten virtual minutes
// pass with nothing, it hangs up, so a test that forgot a key ends instead of hanging.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "platform/dialog/text/TerminalIo.h"
#include "platform/system/Clock.h"

class ScriptedTerminal final : public platform::TerminalIo {
 public:
  ScriptedTerminal(int width, int height) : width_(width), height_(height) {}

  // Input at (or after) a virtual time in ms from now; events keep their order.
  void At(uint64_t delayMs, platform::InputEvent event) {
    script_.push_back({platform::NowMs() + delayMs, event});
  }
  void Key(platform::Key key, uint64_t delayMs = 0) {
    At(delayMs, platform::InputEvent::OfKey(key));
  }
  void Keys(std::initializer_list<platform::Key> keys) {
    for (const auto& k : keys) Key(k);
  }
  void Char(char32_t c, bool alt = false) { Key(platform::Key::Char(c, alt)); }
  void Code(platform::KeyCode code) { Key(platform::Key::Of(code)); }
  void Resize(int width, int height, uint64_t delayMs = 0) {
    At(delayMs, platform::InputEvent::OfResize());
    resizes_.push_back({width, height});
  }
  size_t Pending() const { return script_.size(); }

  // What was shown: the last frame, and a call for every frame as it is shown.
  const platform::TextCanvas& Frame() const { return frame_; }
  std::string Screen() const { return frame_.Dump(); }
  std::function<void(const platform::TextCanvas&)> onShow;
  int bells = 0;
  int repaints = 0;
  int discarded = 0;  // keys and clicks dropped unread
  bool showsDim = true;
  std::vector<std::vector<std::string>> programs;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool ShowsDim() const override { return showsDim; }
  void Show(const platform::TextCanvas& frame) override {
    frame_ = frame;
    if (onShow) onShow(frame);
  }
  std::optional<platform::InputEvent> Wait(int timeoutMs) override {
    auto& clock = platform::CurrentClock();
    if (!script_.empty()) {
      const uint64_t now = platform::NowMs();
      if (script_.front().atMs > now) {
        const uint64_t wait = std::min<uint64_t>(timeoutMs, script_.front().atMs - now);
        clock.SleepUs(wait * 1000);
        if (script_.front().atMs > platform::NowMs()) return std::nullopt;
      }
      const platform::InputEvent event = script_.front().event;
      script_.pop_front();
      if (event.kind == platform::InputEvent::Kind::Resize && !resizes_.empty()) {
        width_ = resizes_.front().first;
        height_ = resizes_.front().second;
        resizes_.pop_front();
      }
      return event;
    }
    clock.SleepUs(static_cast<uint64_t>(timeoutMs) * 1000);
    idleMs_ += timeoutMs;
    if (idleMs_ > 600000) return platform::InputEvent::OfHangUp();
    return std::nullopt;
  }
  // Keys and clicks whose time has come are dropped; sizes and hang-ups stay.
  void DiscardInput() override {
    const uint64_t now = platform::NowMs();
    std::erase_if(script_, [&](const Scripted& s) {
      const bool input = s.event.kind == platform::InputEvent::Kind::Key ||
                         s.event.kind == platform::InputEvent::Kind::Click;
      if (input && s.atMs <= now) ++discarded;
      return input && s.atMs <= now;
    });
  }
  void Bell() override { ++bells; }
  void Repaint() override { ++repaints; }
  bool RunProgram(const std::vector<std::string>& argv) override {
    programs.push_back(argv);
    return true;
  }

 private:
  struct Scripted {
    uint64_t atMs;
    platform::InputEvent event;
  };
  int width_, height_;
  std::deque<Scripted> script_;
  std::deque<std::pair<int, int>> resizes_;
  platform::TextCanvas frame_{0, 0};
  uint64_t idleMs_ = 0;
};

// The text of a frame's row, as UTF-8, trailing blanks removed.
inline std::string RowText(const platform::TextCanvas& frame, int y) {
  std::string out;
  for (char32_t c : frame.Row(y)) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += "#";  // line graphics and the rest: one byte each keeps columns countable
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}
