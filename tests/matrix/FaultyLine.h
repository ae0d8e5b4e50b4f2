#pragma once
// The serial line between the tool and the radio stand-in, with the faults that lie outside
// the radio itself. It wraps the simulated ports and counts the lines the tool writes (a line
// ends at its CR, and its LF belongs to it); from a chosen line on it can:
//   - put the two ends at different rates (the port's rate drifts from what the tool set, as
//     an adapter that fell back to its own rate would): the radio hears and says only noise;
//   - lose the radio (the cable is pulled): the radio hears nothing and says nothing;
//   - lose the port (the adapter is pulled) once the line has been written whole: every call
//     on the device fails with EIO from then on, and the port cannot be opened again.
// It also keeps what the tool put on the wire, byte for byte, so a test can see that nothing
// went out after a failing step. Nothing here fails of its own accord.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/devices/SerialDevice.h"
#include "sim/SimulatedPorts.h"

namespace matrix {

class FaultyLine final : public platform::SerialProvider {
 public:
  enum class Trouble { kNone, kWrongRate, kRadioGone, kPortGone };

  explicit FaultyLine(sim::SimulatedPorts& ports) : ports_(ports) {}

  // Strikes at the line with this index (0: the first line written from now on). The radio
  // of the port is told when the cable is pulled.
  void Arm(Trouble trouble, int lineIndex, sim::RadioModem* radio);
  // Strikes now, whatever is being written.
  void StrikeNow(Trouble trouble);

  const std::string& Wire() const { return wire_; }
  int LinesWritten() const { return lines_; }
  bool PortGone() const { return portGone_; }

  std::unique_ptr<platform::SerialDevice> CreateFile(const std::u16string& portDevice,
                                                     int* lastError) override;

 private:
  class Device;
  friend class Device;

  // Called before the tool writes bytes, at the start of a line or within it.
  void BeforeWrite(bool atLineStart);
  void AfterWrite(const char* bytes, uint32_t n);
  uint32_t RateOnLine(uint32_t toolRate) const;

  sim::SimulatedPorts& ports_;
  Trouble trouble_ = Trouble::kNone;
  int strikeAt_ = -1;
  sim::RadioModem* radio_ = nullptr;
  bool wrongRate_ = false;
  bool portGone_ = false;
  bool goneAfterLine_ = false;
  int lines_ = 0;
  bool inLine_ = false;
  bool lastWasCr_ = false;
  std::string wire_;
  Device* current_ = nullptr;
};

}  // namespace matrix
