#pragma once
// Remembers why a port did not open, for the message that says so: it wraps the serial
// provider and notes the errno value of the last open that failed. The devices it opens are
// the provider's own, handed over untouched, so every call (reads, writes, the confirmation
// that a write has left) reaches the real line.
//
// Nothing here fails or changes what goes on the wire.

#include <memory>
#include <optional>
#include <string>

#include "platform/devices/SerialDevice.h"

namespace cli {

class OpenWatch final : public platform::SerialProvider {
 public:
  explicit OpenWatch(platform::SerialProvider& inner) : inner_(inner) {}

  std::unique_ptr<platform::SerialDevice> CreateFile(const std::u16string& portDevice,
                                                     int* lastError) override;
  // The port's own provider says why an open failed, what a name stands for and what to list.
  std::string FailureText() const override { return inner_.FailureText(); }
  bool Listable(const std::u16string& portDevice) override { return inner_.Listable(portDevice); }
  std::optional<PortDescription> Describe(const std::u16string& portDevice) override {
    return inner_.Describe(portDevice);
  }

  // The errno value of the last open that failed (0 when none did).
  int LastOpenError() const { return lastOpenError_; }

 private:
  platform::SerialProvider& inner_;
  int lastOpenError_ = 0;
};

// The reason an open failed with an errno value, as a person reads it.
std::string OpenProblem(int error);

}  // namespace cli
