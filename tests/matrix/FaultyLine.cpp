#include "tests/matrix/FaultyLine.h"

#include <errno.h>

namespace matrix {

class FaultyLine::Device final : public platform::SerialDevice {
 public:
  Device(FaultyLine& line, std::unique_ptr<platform::SerialDevice> inner)
      : line_(line), inner_(std::move(inner)) {
    line_.current_ = this;
  }
  ~Device() override {
    if (line_.current_ == this) line_.current_ = nullptr;
  }

  // The tool's own rate is what it reads back; the line may run at another.
  bool GetCommState(platform::DCB& dcb) override {
    if (Gone()) return Fail();
    if (!inner_->GetCommState(dcb)) return false;
    if (toolRate_) dcb.BaudRate = toolRate_;
    return true;
  }
  bool SetCommState(const platform::DCB& dcb) override {
    if (Gone()) return Fail();
    toolRate_ = dcb.BaudRate;
    return Apply();
  }
  bool Apply() {
    platform::DCB d;
    if (!inner_->GetCommState(d)) return false;
    d.BaudRate = line_.RateOnLine(toolRate_);
    return inner_->SetCommState(d);
  }
  bool SetCommTimeouts(const platform::COMMTIMEOUTS& t) override {
    return Gone() ? Fail() : inner_->SetCommTimeouts(t);
  }
  bool PurgeComm(uint32_t flags) override { return Gone() ? Fail() : inner_->PurgeComm(flags); }
  bool ClearCommError(uint32_t* errors, platform::COMSTAT* stat) override {
    return Gone() ? Fail() : inner_->ClearCommError(errors, stat);
  }
  bool SetCommMask(uint32_t mask) override { return Gone() ? Fail() : inner_->SetCommMask(mask); }
  bool WaitCommEvent(uint32_t* events, uint32_t boundMs) override {
    if (Gone()) {
      *events = 0;
      return Fail();
    }
    return inner_->WaitCommEvent(events, boundMs);
  }
  bool ReadFile(void* buf, uint32_t n, uint32_t* got) override {
    *got = 0;
    return Gone() ? Fail() : inner_->ReadFile(buf, n, got);
  }
  bool WriteFile(const void* buf, uint32_t n, uint32_t* written) override {
    *written = 0;
    const char* bytes = static_cast<const char*>(buf);
    // The LF that completes a line belongs to it, also to the last line before the port goes.
    const bool lineFeedOfLine = n == 1 && bytes[0] == '\n' && line_.lastWasCr_;
    if (line_.goneAfterLine_ && !lineFeedOfLine) line_.portGone_ = true;
    if (line_.portGone_) return Fail();
    line_.BeforeWrite(!line_.inLine_ && !lineFeedOfLine);
    if (!inner_->WriteFile(buf, n, written)) return false;
    line_.AfterWrite(bytes, *written);
    if (line_.goneAfterLine_ && lineFeedOfLine) line_.portGone_ = true;
    return true;
  }
  int LastError() const override { return Gone() ? EIO : inner_->LastError(); }

 private:
  bool Gone() const {
    if (line_.goneAfterLine_) line_.portGone_ = true;
    return line_.portGone_;
  }
  bool Fail() { return false; }

  FaultyLine& line_;
  std::unique_ptr<platform::SerialDevice> inner_;
  uint32_t toolRate_ = 0;
};

void FaultyLine::Arm(Trouble trouble, int lineIndex, sim::RadioModem* radio) {
  trouble_ = trouble;
  strikeAt_ = lineIndex;
  radio_ = radio;
  lines_ = 0;
  inLine_ = false;
  lastWasCr_ = false;
  wire_.clear();
}

void FaultyLine::StrikeNow(Trouble trouble) {
  switch (trouble) {
    case Trouble::kWrongRate:
      wrongRate_ = true;
      if (current_) current_->Apply();
      break;
    case Trouble::kRadioGone:
      if (radio_) radio_->SetFault(sim::RadioFault::kSilence);
      break;
    case Trouble::kPortGone:
      portGone_ = true;
      break;
    case Trouble::kNone:
      break;
  }
}

void FaultyLine::BeforeWrite(bool atLineStart) {
  if (!atLineStart) return;
  inLine_ = true;
  if (lines_ != strikeAt_) return;
  if (trouble_ == Trouble::kWrongRate || trouble_ == Trouble::kRadioGone) StrikeNow(trouble_);
}

void FaultyLine::AfterWrite(const char* bytes, uint32_t n) {
  wire_.append(bytes, n);
  for (uint32_t i = 0; i < n; ++i) {
    lastWasCr_ = bytes[i] == '\r';
    if (!lastWasCr_) continue;
    if (lines_ == strikeAt_ && trouble_ == Trouble::kPortGone) goneAfterLine_ = true;
    ++lines_;
    inLine_ = false;
  }
}

uint32_t FaultyLine::RateOnLine(uint32_t toolRate) const {
  // Any rate but the tool's own: the radio matches the tool's rate exactly or hears noise.
  return wrongRate_ ? toolRate + 1 : toolRate;
}

std::unique_ptr<platform::SerialDevice> FaultyLine::CreateFile(const std::u16string& portDevice,
                                                               int* lastError) {
  if (goneAfterLine_) portGone_ = true;
  if (portGone_) {
    *lastError = ENOENT;
    return nullptr;
  }
  auto inner = ports_.CreateFile(portDevice, lastError);
  if (!inner) return nullptr;
  return std::make_unique<Device>(*this, std::move(inner));
}

}  // namespace matrix
