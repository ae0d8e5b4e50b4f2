#include "cli/RegisterTap.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace cli {

namespace {

class TappedDevice final : public platform::SerialDevice {
 public:
  TappedDevice(std::unique_ptr<platform::SerialDevice> inner, RegisterTap& tap)
      : inner_(std::move(inner)), tap_(tap) {}
  bool GetCommState(platform::DCB& dcb) override { return inner_->GetCommState(dcb); }
  bool SetCommState(const platform::DCB& dcb) override { return inner_->SetCommState(dcb); }
  bool SetCommTimeouts(const platform::COMMTIMEOUTS& t) override {
    return inner_->SetCommTimeouts(t);
  }
  bool PurgeComm(uint32_t flags) override { return inner_->PurgeComm(flags); }
  bool ClearCommError(uint32_t* errors, platform::COMSTAT* stat) override {
    return inner_->ClearCommError(errors, stat);
  }
  bool SetCommMask(uint32_t mask) override { return inner_->SetCommMask(mask); }
  bool WaitCommEvent(uint32_t* events, uint32_t boundMs) override {
    return inner_->WaitCommEvent(events, boundMs);
  }
  bool ReadFile(void* buf, uint32_t n, uint32_t* got) override {
    uint32_t count = 0;
    bool ok = inner_->ReadFile(buf, n, &count);
    if (got) *got = count;
    tap_.Read(static_cast<const char*>(buf), count);
    return ok;
  }
  bool WriteFile(const void* buf, uint32_t n, uint32_t* written) override {
    uint32_t count = 0;
    bool ok = inner_->WriteFile(buf, n, &count);
    if (written) *written = count;
    tap_.Wrote(static_cast<const char*>(buf), count);
    return ok;
  }
  int LastError() const override { return inner_->LastError(); }

 private:
  std::unique_ptr<platform::SerialDevice> inner_;
  RegisterTap& tap_;
};

bool Hex(const std::string& text, size_t from, long* value, size_t* end) {
  size_t i = from;
  long v = 0;
  while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])) && i - from < 8) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    v = v * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
    ++i;
  }
  if (i == from) return false;
  *value = v;
  if (end) *end = i;
  return true;
}

bool Register(const std::string& line) {
  return line.size() >= 2 && std::islower(static_cast<unsigned char>(line[0])) &&
         std::islower(static_cast<unsigned char>(line[1]));
}

}  // namespace

std::unique_ptr<platform::SerialDevice> RegisterTap::CreateFile(const std::u16string& portDevice,
                                                                int* lastError) {
  int error = 0;
  auto device = inner_.CreateFile(portDevice, &error);
  if (lastError) *lastError = error;
  if (!device) {
    lastOpenError_ = error;
    return nullptr;
  }
  outLine_.clear();
  query_.clear();
  return std::make_unique<TappedDevice>(std::move(device), *this);
}

void RegisterTap::Wrote(const char* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] == '\n') continue;
    if (bytes[i] != '\r') {
      outLine_ += bytes[i];
      continue;
    }
    Line(outLine_);
    outLine_.clear();
  }
}

void RegisterTap::Line(const std::string& line) {
  query_.clear();
  if (!Register(line)) return;
  const std::string name = line.substr(0, 2);
  if (line.size() == 3 && line[2] == '?') {
    query_ = name;
    reply_.clear();
    return;
  }
  // The rate command and the store commands are no registers a reading can give back.
  long value = 0;
  size_t end = 0;
  if (name != "sd" && Hex(line, 2, &value, &end) && end == line.size()) sent_[name] = value;
}

void RegisterTap::Read(const char* bytes, size_t n) {
  if (query_.empty() || n == 0) return;
  reply_.append(bytes, n);
  if (reply_.find('>') == std::string::npos) return;
  // The answer: the value that follows the echo of the query, up to the prompt.
  const size_t echo = reply_.find(query_ + "?");
  long value = 0;
  if (echo != std::string::npos) {
    size_t at = echo + 3;
    while (at < reply_.size() && (reply_[at] == '\r' || reply_[at] == '\n' || reply_[at] == ' '))
      ++at;
    if (Hex(reply_, at, &value, nullptr)) held_[query_] = value;
  }
  query_.clear();
}

std::string OpenProblem(int error) {
  switch (error) {
    case EBUSY:
      return "busy: another program has it open";
    case EACCES:
    case EPERM:
      return "permission denied (add the user to the 'dialout' group, then log in again)";
    case ENOTTY:
      return "not a serial terminal";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "no such device";
    default:
      return std::strerror(error);
  }
}

}  // namespace cli
