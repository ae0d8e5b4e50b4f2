#pragma once
// The radio modem's protocol brain, free of any transport and any clock: it is fed the host's
// bytes with the time they were written and the host's line rate, and it produces the bytes it
// sends, each stamped with the time it is fully on the line (10 bit times per byte at the
// radio's rate). Time only enters through the stamps the caller passes, which must not go
// backwards.
//
// The radio starts (power on, cable reconnected) by loading its stored registers and rate and
// sending its banner; it is then in data mode, where everything but ":wit2400" is ignored. In
// command mode each character is echoed as it arrives and each line (ended by CR, LF ignored)
// is answered:
//   "xy?"         CR LF, the value in upper-case hexadecimal (two digits at least), CR LF, ">"
//   "xy<hex>"     sets the working register; CR LF ">"
//   "sd<code>"    CR LF at the old rate, then the new rate from the end of that line on, ">"
//   "sd?"         the code of the current rate, as a query
//   "m>"          stores the working registers and the rate; CR LF ">"
//   "m0"          the maker's registers (model 2400: also 9600, switched like "sd"); CR LF ">"
//   "z>"          back to data mode, nothing after the echo
//   empty line    CR LF ">"
//   anything else CR LF "ERR" CR LF ">"
// When the host's rate is not the radio's, each byte crossing either way turns into noise
// (NoiseSource), so neither side understands the other.
//
// Nothing here fails; a vanished radio simply stops hearing and talking, and its transport is
// told so by VanishedBy().

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/NoiseSource.h"
#include "sim/RadioConfig.h"
#include "sim/RadioTransmitter.h"

namespace sim {

class RadioModem {
 public:
  explicit RadioModem(const RadioConfig& config);

  // Lets time pass to nowUs: cable reconnects that are due take effect. Every call below that
  // takes a time does this first.
  void Tick(uint64_t nowUs);
  // When the next scheduled reconnect takes effect (UINT64_MAX: none).
  uint64_t NextEventUs() const;

  // The host opened or closed the port: the internal radio is powered by its port; an external
  // one with reconnectAfterOpenMs gets its cable reconnected that long after each open, unless
  // the port is closed again before then, or the open follows a close within a moment of a
  // rate change in a command session (the program following the radio's new rate, as a reset
  // does, is no replug).
  void OnPortOpened(uint64_t atUs);
  void OnPortClosed(uint64_t atUs);
  // The cable is plugged back in at atUs (now or later): the radio restarts then.
  void ReconnectCable(uint64_t atUs);
  // Power cycle at atUs, which must not lie ahead of the last time seen.
  void Restart(uint64_t atUs);

  // Bytes the host wrote at nowUs with its line at hostBaud (0: a frame the radio cannot read).
  void Receive(uint64_t nowUs, const void* data, size_t n, uint32_t hostBaud);

  // The radio's next byte on the line, if it has one (endless talk always has).
  bool PeekOutput(uint64_t* atUs);
  // Takes that byte as a host listening at hostBaud hears it: noise when the rates differ.
  uint8_t TakeOutput(uint32_t hostBaud, bool* garbled = nullptr);
  // Bytes fully on the line by `us` are gone (nobody listened, or the host purged them).
  void DropOutputUpTo(uint64_t us) { tx_.DropUpTo(us); }

  // The device disappears at atUs; a restart (reconnect) brings it back.
  void Vanish(uint64_t atUs);
  bool VanishedBy(uint64_t us) const { return vanishAt_ && *vanishAt_ <= us; }
  std::optional<uint64_t> VanishAtUs() const { return vanishAt_; }

  void SetFault(RadioFault fault) { config_.fault = fault; }
  void SetCommandFault(const std::string& line, RadioFault fault);
  void ClearFaults();

  int Model() const { return config_.model; }
  const RadioConfig& Config() const { return config_; }
  bool Powered() const { return powered_; }
  bool InCommandMode() const { return commandMode_; }
  // The radio's rate for a byte at `us` (the last switch may lie ahead of the current time).
  uint32_t BaudAt(uint64_t us) const { return us < switchAt_ ? prevBaud_ : baud_; }
  uint32_t Baud() const { return baud_; }
  uint32_t StoredBaud() const { return storedBaud_; }
  std::optional<uint32_t> Register(const std::string& name) const;
  std::optional<uint32_t> StoredRegister(const std::string& name) const;
  // Sets a working register the radio has; false (and nothing changed) for one it has not.
  bool SetRegister(const std::string& name, uint32_t value);
  const std::map<std::string, uint32_t>& StoredRegisters() const { return stored_; }

  // Every line heard in command mode, and each ":wit2400" that opened it, in order.
  const std::vector<std::string>& Commands() const { return commands_; }
  // When the line end of each of those arrived, in microseconds of the caller's time.
  const std::vector<uint64_t>& CommandTimes() const { return commandTimes_; }
  // Every byte the host wrote, as it wrote it.
  const std::string& HostBytes() const { return hostBytes_; }
  void ClearLog();
  std::string BannerText() const;
  int RestartCount() const { return restarts_; }
  int StoreCount() const { return stores_; }

 private:
  struct Reply {
    Reply(std::string text = "", bool withPrompt = true)
        : body(std::move(text)), prompt(withPrompt) {}
    std::string body;
    bool prompt = true;
    std::optional<uint32_t> newBaud;  // switched after the body has gone out
  };

  void Hear(uint8_t c, uint64_t atUs);
  void LineEnd(const std::string& line, uint64_t atUs, bool fromDataMode);
  Reply Execute(const std::string& line);
  Reply ExecuteRegister(const std::string& name, const std::string& value);
  RadioFault FaultFor(const std::string& line) const;
  void Emit(const std::string& text, uint64_t readyUs, bool spoiled);
  void SwitchBaud(uint32_t baud, uint64_t atUs);

  RadioConfig config_;
  NoiseSource noise_;
  RadioTransmitter tx_;
  std::map<std::string, uint32_t> working_, stored_;
  uint32_t storedBaud_ = 0, baud_ = 0, prevBaud_ = 0;
  uint64_t switchAt_ = 0;
  uint64_t hostFreeAt_ = 0;  // the host's sending side of the line
  uint8_t lastHostByte_ = 0;
  bool powered_ = true;
  uint64_t bootedAt_ = 0;  // a booting radio hears nothing
  bool commandMode_ = false;
  static constexpr uint64_t kReopenWithinUs = 1000000;
  std::optional<uint64_t> closedAtUs_;
  bool followingRate_ = false;  // the last line changed the rate
  std::string line_, dataLine_;
  uint64_t lineSeq_ = 0;  // sequence number of the current line's first echo byte
  bool lineStarted_ = false;
  std::optional<uint64_t> vanishAt_;
  std::vector<uint64_t> reconnects_;
  std::vector<uint64_t> openReconnects_;  // those of reconnects_ that an open scheduled
  std::vector<std::string> commands_;
  std::vector<uint64_t> commandTimes_;
  std::string hostBytes_;
  int restarts_ = 0, stores_ = 0;
};

}  // namespace sim
