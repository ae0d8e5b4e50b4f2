#pragma once
// A serial provider for tests that script the line byte by byte: the listed ports open
// (unless marked busy) to a device whose input is a queue of bytes, each arriving at a time on
// the current (virtual) clock, and which records what was written, the line settings, the
// time-outs and the purges. Reads and waits honour the time-outs by sleeping on the clock, as
// a real device's would. Calls can be made to fail.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/devices/SerialDevice.h"
#include "platform/system/Clock.h"

namespace testing_support {

struct FakeLine {
  struct Byte {
    uint64_t atUs;
    char c;
  };
  std::deque<Byte> input;
  std::string written;
  platform::DCB dcb;
  platform::COMMTIMEOUTS timeouts;
  std::vector<uint32_t> purges;
  bool failReads = false, failWrites = false, failSetState = false;
  size_t writeLimit = SIZE_MAX;  // bytes a write call takes at most
  uint32_t lineErrors = 0;
  // What the device reports of the path to it (zero: a line next to the program).
  platform::PathTiming path;
  // Called after every write, to let a test answer what was written.
  std::function<void(FakeLine&)> onWrite;
  // Called after every status query has counted the waiting bytes: what arrives in it comes
  // after the count the caller holds.
  std::function<void(FakeLine&)> afterStatus;
  // Answers each line written (ended by CR LF) with the reply the function gives for it.
  void AnswerLines(std::function<std::string(const std::string&)> reply, uint64_t delayUs = 500) {
    onWrite = [reply, delayUs, pending = std::string()](FakeLine& l) mutable {
      pending = l.written.substr(l.answered);
      size_t end = pending.find("\r\n");
      if (end == std::string::npos) return;
      std::string cmd = pending.substr(0, end);
      l.answered += end + 2;
      uint64_t t = platform::CurrentClock().NowUs() + delayUs;
      for (char c : reply(cmd)) l.input.push_back({t += 90, c});
    };
  }
  size_t answered = 0;

  // Bytes arriving delayMs from now, one after the other (spacingUs apart).
  void Arrive(const std::string& bytes, uint64_t delayMs = 0, uint64_t spacingUs = 0) {
    uint64_t t = platform::CurrentClock().NowUs() + delayMs * 1000;
    for (char c : bytes) {
      input.push_back({t, c});
      t += spacingUs;
    }
  }
  size_t ArrivedCount() const {
    uint64_t now = platform::CurrentClock().NowUs();
    size_t n = 0;
    for (auto& b : input) n += b.atUs <= now;
    return n;
  }
};

class FakePorts : public platform::SerialProvider {
 public:
  std::set<std::u16string> present{u"COM1:", u"COM2:", u"COM3:"};
  std::set<std::u16string> busy;
  std::map<std::u16string, std::shared_ptr<FakeLine>> lines;
  std::vector<std::u16string> opened;  // every successful open, in order
  int liveDevices = 0;

  FakePorts() { platform::SetSerialProvider(this); }
  ~FakePorts() override { platform::SetSerialProvider(nullptr); }

  FakeLine& Line(const std::u16string& port) {
    auto& l = lines[port];
    if (!l) l = std::make_shared<FakeLine>();
    return *l;
  }

  std::unique_ptr<platform::SerialDevice> CreateFile(const std::u16string& name,
                                                     int* lastError) override {
    if (!present.count(name)) {
      *lastError = 2;
      return nullptr;
    }
    if (busy.count(name)) {
      *lastError = 16;
      return nullptr;
    }
    opened.push_back(name);
    Line(name);
    return std::make_unique<Device>(*this, lines[name]);
  }

 private:
  struct Device : platform::SerialDevice {
    Device(FakePorts& p, std::shared_ptr<FakeLine> l) : ports(p), line(std::move(l)) {
      ++ports.liveDevices;
    }
    ~Device() override { --ports.liveDevices; }
    FakePorts& ports;
    std::shared_ptr<FakeLine> line;
    uint64_t Now() { return platform::CurrentClock().NowUs(); }
    void SleepUntil(uint64_t t) {
      if (t > Now()) platform::CurrentClock().SleepUs(t - Now());
    }

    bool GetCommState(platform::DCB& d) override {
      d = line->dcb;
      return true;
    }
    bool SetCommState(const platform::DCB& d) override {
      if (line->failSetState) return false;
      line->dcb = d;
      return true;
    }
    bool SetCommTimeouts(const platform::COMMTIMEOUTS& t) override {
      line->timeouts = t;
      return true;
    }
    bool PurgeComm(uint32_t flags) override {
      line->purges.push_back(flags);
      if (flags & platform::PURGE_RXCLEAR)
        while (!line->input.empty() && line->input.front().atUs <= Now()) line->input.pop_front();
      return true;
    }
    bool ClearCommError(uint32_t* e, platform::COMSTAT* s) override {
      *e = line->lineErrors;
      line->lineErrors = 0;
      *s = {};
      s->cbInQue = static_cast<uint32_t>(line->ArrivedCount());
      if (line->afterStatus) line->afterStatus(*line);
      return true;
    }
    bool SetCommMask(uint32_t) override { return true; }
    bool WaitCommEvent(uint32_t* ev, uint32_t boundMs) override {
      uint64_t limit = Now() + uint64_t{boundMs} * 1000;
      if (!line->input.empty() && line->input.front().atUs <= limit) {
        SleepUntil(line->input.front().atUs);
        *ev = platform::EV_RXCHAR;
        return true;
      }
      SleepUntil(limit);
      *ev = 0;
      return false;
    }
    bool ReadFile(void* buf, uint32_t n, uint32_t* got) override {
      *got = 0;
      if (line->failReads) return false;
      uint64_t limit = Now() + uint64_t{line->timeouts.ReadTotalTimeoutConstant} * 1000 +
                       uint64_t{line->timeouts.ReadTotalTimeoutMultiplier} * n * 1000;
      char* out = static_cast<char*>(buf);
      while (*got < n) {
        if (line->input.empty() || line->input.front().atUs > limit) {
          SleepUntil(limit);
          return true;
        }
        SleepUntil(line->input.front().atUs);
        out[(*got)++] = line->input.front().c;
        line->input.pop_front();
      }
      return true;
    }
    bool WriteFile(const void* buf, uint32_t n, uint32_t* w) override {
      if (line->failWrites) return false;
      *w = static_cast<uint32_t>(std::min<size_t>(n, line->writeLimit));
      line->written.append(static_cast<const char*>(buf), *w);
      if (line->onWrite) line->onWrite(*line);
      return true;
    }
    platform::PathTiming PathDelay() const override { return line->path; }
    int LastError() const override { return line->failWrites ? 5 : 0; }
  };
};

}  // namespace testing_support
