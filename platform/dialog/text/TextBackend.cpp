#include "platform/dialog/text/TextBackend.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/dialog/CWinApp.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/text/TextDialogWindow.h"
#include "platform/dialog/text/TextMessageBox.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"

namespace platform {

namespace {

// Longest wait for input with no timer due: signals and hang-ups wake the wait anyway.
constexpr int kIdleWaitMs = 1000;
// Between two cancel commands after a hang-up, so a dialog that takes several is not spun.
constexpr uint32_t kHangUpPauseMs = 100;
// The controller's shortest timer period.
constexpr unsigned kMinTimerMs = 10;

bool OnPath(const std::string& program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

TextBackend::TextBackend(TerminalIo& io) : io_(io) {}

TextBackend::~TextBackend() = default;

std::unique_ptr<DialogWindow> TextBackend::CreateDialogWindow(const DialogTemplate& tpl,
                                                              CDialog& owner, DialogWindow*) {
  return std::make_unique<TextDialogWindow>(*this, tpl, owner);
}

int TextBackend::MessageBox(DialogWindow*, const std::u16string& text,
                            const std::u16string& caption, unsigned type) {
  TextMessageBox box(text, caption, type);
  RunLayer(box);
  return box.Answer();
}

void TextBackend::MessageBeep(unsigned) {
  io_.Bell();
}

void TextBackend::BeginWaitCursor() {
  ++busy_;
  typedWhileBusy_ = true;
  Render();
}

void TextBackend::EndWaitCursor() {
  if (busy_ == 0) return;
  --busy_;
  Render();
}

bool TextBackend::PumpOneMessage() {
  Render();
  if (hungUp_) {
    if (!stack_.empty()) stack_.back()->HangUp();
    return true;
  }
  if (RunDueTimer()) return true;
  std::optional<InputEvent> event = io_.Wait(0);
  if (!event) {
    Idle();
    return false;
  }
  Dispatch(*event);
  return true;
}

bool TextBackend::ShellOpen(DialogWindow* owner, const std::string& path) {
  if (path.empty() || access(path.c_str(), R_OK) != 0) return false;
  std::vector<std::string> candidates;
  if (const char* browser = std::getenv("BROWSER")) {
    std::string list = browser;
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(':', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) candidates.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const char* name : {"www-browser", "w3m", "lynx", "elinks"}) candidates.push_back(name);
  for (const std::string& program : candidates) {
    if (!OnPath(program)) continue;
    const bool ok = io_.RunProgram({program, path});
    io_.Repaint();
    Render();
    return ok;
  }
  // Over SSH there is no desktop to fall back on: say where the file is, so it can be read
  // some other way, and what to install.
  std::string tried;
  for (const std::string& program : candidates) tried += (tried.empty() ? "" : ", ") + program;
  MessageBox(owner,
             u"No text browser was found to show the help. The help file is " + Utf8ToWide(path) +
                 u"\n\nTried: " + Utf8ToWide(tried) + u".",
             AfxAppName(), MB_OK | MB_ICONINFORMATION);
  return false;
}

void TextBackend::RunLayer(TextLayer& layer) {
  if (typedWhileBusy_) {
    io_.DiscardInput();
    // Under a cursor still up, what is typed from now on is typed while busy again.
    typedWhileBusy_ = busy_ > 0;
  }
  stack_.push_back(&layer);
  while (!layer.Ended()) {
    Render();
    if (hungUp_) {
      layer.HangUp();
      if (layer.Ended()) break;
      RunDueTimer();
      Sleep(kHangUpPauseMs);
      continue;
    }
    if (RunDueTimer()) continue;
    std::optional<InputEvent> event = io_.Wait(MsToNextTimer());
    if (event)
      Dispatch(*event);
    else
      Idle();
  }
  stack_.erase(std::find(stack_.begin(), stack_.end(), &layer));
  // What lay below shows again at once, even if the caller now works without pumping.
  Render();
}

void TextBackend::Dispatch(const InputEvent& event) {
  switch (event.kind) {
    case InputEvent::Kind::Resize:
      io_.Repaint();
      return;
    case InputEvent::Kind::HangUp:
      hungUp_ = true;
      return;
    case InputEvent::Kind::Click:
      if (!stack_.empty()) stack_.back()->HandleClick(event.x, event.y, io_.Width(), io_.Height());
      return;
    case InputEvent::Kind::Key:
      if (event.key.code == KeyCode::Redraw) {
        io_.Repaint();
        return;
      }
      if (!stack_.empty()) stack_.back()->HandleKey(event.key);
      return;
  }
}

void TextBackend::Idle() {
  if (busy_ == 0) typedWhileBusy_ = false;
}

void TextBackend::SetTimer(TextDialogWindow* window, int timerId, unsigned periodMs) {
  const uint64_t period = std::max(periodMs, kMinTimerMs) * uint64_t{1000};
  const uint64_t due = CurrentClock().NowUs() + period;
  for (Timer& t : timers_) {
    if (t.window == window && t.id == timerId) {
      // Setting a timer again restarts it with the new period.
      t.periodUs = period;
      t.dueUs = due;
      return;
    }
  }
  timers_.push_back(Timer{window, timerId, period, due, false});
}

void TextBackend::KillTimer(TextDialogWindow* window, int timerId) {
  std::erase_if(timers_, [&](const Timer& t) { return t.window == window && t.id == timerId; });
}

void TextBackend::Forget(TextDialogWindow* window) {
  std::erase_if(timers_, [&](const Timer& t) { return t.window == window; });
  // A window destroyed while it is still on the stack (an error path) must not be painted.
  std::erase(stack_, static_cast<TextLayer*>(window));
}

bool TextBackend::RunDueTimer() {
  const uint64_t now = CurrentClock().NowUs();
  Timer* due = nullptr;
  for (Timer& t : timers_)
    if (!t.running && t.dueUs <= now && (!due || t.dueUs < due->dueUs)) due = &t;
  if (!due) return false;
  TextDialogWindow* window = due->window;
  const int id = due->id;
  // Timers repeat until killed; the next one is due a period after this one fired.
  due->dueUs = now + due->periodUs;
  due->running = true;
  window->FireTimer(id);
  // The handler may have killed or set timers, or ended the window: look the timer up again.
  for (Timer& t : timers_)
    if (t.window == window && t.id == id) t.running = false;
  return true;
}

int TextBackend::MsToNextTimer() const {
  const uint64_t now = CurrentClock().NowUs();
  uint64_t wait = uint64_t{kIdleWaitMs} * 1000;
  for (const Timer& t : timers_)
    if (!t.running) wait = std::min(wait, t.dueUs > now ? t.dueUs - now : 0);
  return static_cast<int>((wait + 999) / 1000);
}

void TextBackend::Render() {
  const int width = io_.Width(), height = io_.Height();
  if (width <= 0 || height <= 0) return;
  TextCanvas canvas(width, height, io_.ShowsDim());
  for (size_t i = 0; i < stack_.size(); ++i) {
    const bool top = i + 1 == stack_.size();
    stack_[i]->Paint(canvas, top, top && busy_ > 0);
  }
  if (!stack_.empty()) {
    const TextLayer& top = *stack_.back();
    if (top.FrameWidth() > width || top.FrameHeight() > height) {
      const std::string need = "Terminal too small: needs " + std::to_string(top.FrameWidth()) +
                               "x" + std::to_string(top.FrameHeight());
      canvas.Fill(0, height - 1, width, 1, U' ', kAttrReverse);
      canvas.Text(0, height - 1, std::u32string(need.begin(), need.end()), kAttrReverse, width);
    }
  }
  io_.Show(canvas);
}

}  // namespace platform
