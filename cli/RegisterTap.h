#pragma once
// A look at the line between qelm-cli and the radio, for the verify and for telling why a port
// did not open. It wraps the serial provider: every device it opens passes its bytes through,
// unchanged, while the register commands are noted. A set command ("wn5", "pr30", "dx00")
// records the value sent; a query ("wn?") records the value the radio answered. A verify thus
// compares what the radio holds with what the store sent, register by register, however the
// reading would name the device those registers make.
//
// Nothing here fails or changes what goes on the wire; a failed open is remembered with its
// errno value and the device it was for.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/serial/SerialDevice.h"

namespace cli {

class RegisterTap final : public platform::SerialProvider {
 public:
  explicit RegisterTap(platform::SerialProvider& inner) : inner_(inner) {}

  std::unique_ptr<platform::SerialDevice> CreateFile(const std::u16string& portDevice,
                                                     int* lastError) override;
  // The port's own provider says why an open failed, what a name stands for and what to list.
  std::string FailureText() const override { return inner_.FailureText(); }
  bool Listable(const std::u16string& portDevice) override { return inner_.Listable(portDevice); }
  std::optional<PortDescription> Describe(const std::u16string& portDevice) override {
    return inner_.Describe(portDevice);
  }

  // Register (two letters) to value, as sent by set commands and as answered to queries since
  // the last Forget.
  const std::map<std::string, long>& Sent() const { return sent_; }
  const std::map<std::string, long>& Held() const { return held_; }
  void Forget() {
    sent_.clear();
    held_.clear();
  }
  // The errno value of the last open that failed (0 when none did).
  int LastOpenError() const { return lastOpenError_; }

  // For the devices: what they saw go out and come in.
  void Wrote(const char* bytes, size_t n);
  void Read(const char* bytes, size_t n);

 private:
  void Line(const std::string& line);

  platform::SerialProvider& inner_;
  std::map<std::string, long> sent_, held_;
  std::string outLine_;
  std::string query_;  // the register asked for, until its answer's prompt
  std::string reply_;
  int lastOpenError_ = 0;
};

// The reason an open failed with an errno value, as a person reads it.
std::string OpenProblem(int error);

}  // namespace cli
