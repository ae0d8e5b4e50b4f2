#include "sim/RadioModem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include "sim/RadioPresets.h"
#include "sim/RateCodes.h"

namespace sim {

namespace {

constexpr size_t kMaxLine = 64;
constexpr size_t kDataWindow = 16;
constexpr const char* kEnterCommand = ":wit2400";
// What a radio that has lost its wits keeps saying: no ">", no ":" and no capital "W", so it
// can never end a reply or pass for a banner.
constexpr const char* kTalk = "qsim chatter 0123456789 abcdefghijklmnopqrstuvwxyz\r\n";

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::optional<uint32_t> ParseHex(const std::string& text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t v = 0;
  for (char ch : text) {
    int c = std::toupper(static_cast<unsigned char>(ch));
    if (c >= '0' && c <= '9')
      v = v * 16 + static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      v = v * 16 + static_cast<uint32_t>(c - 'A' + 10);
    else
      return std::nullopt;
  }
  return v;
}

}  // namespace

RadioModem::RadioModem(const RadioConfig& config) : config_(config), noise_(config.seed) {
  working_ = MakerRegisters(config.model);
  for (const auto& [name, value] : config.registers) {
    auto it = working_.find(name);
    if (it != working_.end()) it->second = value;
  }
  stored_ = working_;
  storedBaud_ = baud_ = prevBaud_ = config.baud;
  // The internal radio draws its power through its port, so it is off until that is opened.
  powered_ = !config.internal;
}

void RadioModem::Tick(uint64_t nowUs) {
  while (!reconnects_.empty() && reconnects_.front() <= nowUs) {
    uint64_t at = reconnects_.front();
    reconnects_.erase(reconnects_.begin());
    std::erase(openReconnects_, at);
    Restart(at);
  }
}

uint64_t RadioModem::NextEventUs() const {
  return reconnects_.empty() ? std::numeric_limits<uint64_t>::max() : reconnects_.front();
}

void RadioModem::OnPortOpened(uint64_t atUs) {
  Tick(atUs);
  // A program that closes the port in the middle of a command session and opens it again at
  // once (a reset moving to the radio's new rate) has not asked anyone to replug the cable.
  const bool reopenedInSession =
      commandMode_ && followingRate_ && closedAtUs_ && atUs - *closedAtUs_ <= kReopenWithinUs;
  closedAtUs_.reset();
  followingRate_ = false;
  if (config_.internal)
    Restart(atUs);
  else if (config_.reconnectAfterOpenMs >= 0 && !reopenedInSession) {
    uint64_t at = atUs + static_cast<uint64_t>(config_.reconnectAfterOpenMs) * 1000;
    ReconnectCable(at);
    openReconnects_.push_back(at);
  }
}

void RadioModem::OnPortClosed(uint64_t atUs) {
  Tick(atUs);
  closedAtUs_ = atUs;
  if (!config_.internal) {
    // The user replugs the cable while the tool waits on the open port; once the port is
    // closed again (a probe of the port list, a cancelled wait) nobody does.
    for (uint64_t at : openReconnects_) {
      auto it = std::find(reconnects_.begin(), reconnects_.end(), at);
      if (it != reconnects_.end()) reconnects_.erase(it);
    }
    openReconnects_.clear();
    return;
  }
  powered_ = false;
  commandMode_ = false;
  tx_.CutAt(atUs);
}

void RadioModem::ReconnectCable(uint64_t atUs) {
  reconnects_.insert(std::upper_bound(reconnects_.begin(), reconnects_.end(), atUs), atUs);
}

void RadioModem::Restart(uint64_t atUs) {
  powered_ = true;
  vanishAt_.reset();
  commandMode_ = false;
  line_.clear();
  dataLine_.clear();
  lineStarted_ = false;
  tx_.CutAt(atUs);
  working_ = stored_;
  SwitchBaud(storedBaud_, atUs);
  ++restarts_;
  // The plug's contacts bounce before the radio has even booted.
  if (!config_.internal)
    for (int i = 0; i < config_.plugNoiseBytes; ++i) tx_.Send(atUs, noise_.Next(), baud_);
  bootedAt_ = atUs + static_cast<uint64_t>(config_.bootMs) * 1000;
  Emit(BannerText(), bootedAt_, false);
}

void RadioModem::Receive(uint64_t nowUs, const void* data, size_t n, uint32_t hostBaud) {
  Tick(nowUs);
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < n; ++i) {
    hostBytes_.push_back(static_cast<char>(bytes[i]));
    uint64_t at = std::max(nowUs, hostFreeAt_) + ByteTimeUs(hostBaud);
    // A host writes a line's CR LF back to back: the LF is on the line right behind the CR,
    // even when it reaches us in a later read (and so after a rate switch the CR asked for).
    if (bytes[i] == '\n' && lastHostByte_ == '\r') at = hostFreeAt_ + ByteTimeUs(hostBaud);
    lastHostByte_ = bytes[i];
    hostFreeAt_ = at;
    if (!powered_ || VanishedBy(at) || at < bootedAt_) continue;
    Hear(hostBaud == BaudAt(at) ? bytes[i] : noise_.Next(), at);
  }
}

void RadioModem::Hear(uint8_t c, uint64_t atUs) {
  if (!commandMode_) {
    // Data mode listens only for the way into command mode; the line's tail is enough.
    if (c == '\r') {
      bool hit = EndsWith(dataLine_, kEnterCommand);
      dataLine_.clear();
      if (hit) LineEnd(kEnterCommand, atUs, true);
    } else if (c != '\n') {
      dataLine_.push_back(static_cast<char>(c));
      if (dataLine_.size() > kDataWindow) dataLine_.erase(0, dataLine_.size() - kDataWindow);
    }
    return;
  }
  if (c == '\n') return;
  if (c == '\r') {
    std::string line;
    line.swap(line_);
    LineEnd(line, atUs, false);
    return;
  }
  if (line_.size() < kMaxLine) line_.push_back(static_cast<char>(c));
  // Only a fault of the whole run is known this early; one of a single line is settled at
  // its end, by withdrawing or spoiling the echo nobody has read yet.
  if (config_.fault == RadioFault::kSilence) return;
  if (!lineStarted_) {
    lineSeq_ = tx_.NextSeq();
    lineStarted_ = true;
  }
  tx_.Send(atUs, config_.fault == RadioFault::kGarbage ? noise_.Next() : c, baud_);
}

void RadioModem::LineEnd(const std::string& line, uint64_t atUs, bool fromDataMode) {
  uint64_t echoFrom = lineStarted_ ? lineSeq_ : tx_.NextSeq();
  lineStarted_ = false;
  commands_.push_back(line);
  commandTimes_.push_back(atUs);
  RadioFault fault = FaultFor(line);
  if (fault == RadioFault::kSilence) {
    tx_.Withdraw(echoFrom);
    return;
  }
  if (fault == RadioFault::kVanish) {
    Vanish(atUs);
    return;
  }
  if (fault == RadioFault::kGarbage) tx_.Spoil(echoFrom, noise_);

  uint64_t ready = atUs + config_.replyDelayUs;
  if (fault == RadioFault::kSlow) ready += static_cast<uint64_t>(config_.slowMs) * 1000;
  Reply reply;
  if (fromDataMode) {
    commandMode_ = true;
    reply.body = line + "\r\n";
  } else {
    reply = Execute(line);
  }
  if (fault == RadioFault::kEndlessTalk) {
    tx_.StartTalk(ready, baud_, kTalk);
    return;
  }
  if (fault == RadioFault::kNoPrompt) reply.prompt = false;
  bool spoiled = fault == RadioFault::kGarbage;
  Emit(reply.body, ready, spoiled);
  // The new rate holds from the moment the old-rate answer has left the radio.
  if (reply.newBaud) SwitchBaud(*reply.newBaud, std::max(tx_.FreeAtUs(), ready));
  // A program follows a rate change by reopening its port; any other line ends that chance.
  followingRate_ = reply.newBaud.has_value();
  if (reply.prompt) Emit(">", ready, spoiled);
}

RadioModem::Reply RadioModem::Execute(const std::string& line) {
  std::string word = line;
  for (size_t i = 0; i < word.size() && i < 2; ++i)
    word[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(word[i])));
  if (line.empty() || line == kEnterCommand) return {"\r\n"};
  if (word == "m>") {
    stored_ = working_;
    storedBaud_ = baud_;
    ++stores_;
    return {"\r\n"};
  }
  if (word == "m0") {
    working_ = MakerRegisters(config_.model);
    Reply r{"\r\n"};
    if (config_.model == 2400) r.newBaud = MakerBaud(2400);
    return r;
  }
  if (word == "z>") {
    commandMode_ = false;
    return {"", false};
  }
  if (word.size() >= 2 && std::isalpha(static_cast<unsigned char>(word[0])) &&
      std::isalpha(static_cast<unsigned char>(word[1])))
    return ExecuteRegister(word.substr(0, 2), line.substr(2));
  return {"\r\nERR\r\n"};
}

RadioModem::Reply RadioModem::ExecuteRegister(const std::string& name, const std::string& value) {
  const Reply error{"\r\nERR\r\n"};
  if (name == "sd") {
    if (value == "?") {
      std::string code = CodeForRate(config_.model, baud_);
      return {"\r\n" + (code.empty() ? std::string("00") : code) + "\r\n"};
    }
    std::optional<uint32_t> rate = RateForCode(config_.model, value);
    if (!rate) return error;
    Reply r{"\r\n"};
    r.newBaud = *rate;
    return r;
  }
  auto it = working_.find(name);
  if (it == working_.end()) return error;
  if (value == "?") {
    char text[16];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(it->second));
    return {"\r\n" + std::string(text) + "\r\n"};
  }
  std::optional<uint32_t> v = ParseHex(value);
  if (!v) return error;
  it->second = *v;
  return {"\r\n"};
}

RadioFault RadioModem::FaultFor(const std::string& line) const {
  auto it = config_.commandFaults.find(line);
  return it != config_.commandFaults.end() ? it->second : config_.fault;
}

void RadioModem::Emit(const std::string& text, uint64_t readyUs, bool spoiled) {
  for (char c : text) tx_.Send(readyUs, spoiled ? noise_.Next() : static_cast<uint8_t>(c), baud_);
}

void RadioModem::SwitchBaud(uint32_t baud, uint64_t atUs) {
  prevBaud_ = baud_;
  baud_ = baud;
  switchAt_ = atUs;
}

bool RadioModem::PeekOutput(uint64_t* atUs) {
  if (!powered_) return false;
  LineByte b;
  if (!tx_.Peek(&b)) return false;
  *atUs = b.atUs;
  return true;
}

uint8_t RadioModem::TakeOutput(uint32_t hostBaud, bool* garbled) {
  LineByte b = tx_.Take();
  bool noise = b.baud != hostBaud;
  if (garbled) *garbled = noise;
  return noise ? noise_.Next() : b.value;
}

void RadioModem::Vanish(uint64_t atUs) {
  vanishAt_ = atUs;
  tx_.CutAt(atUs);
  commandMode_ = false;
}

void RadioModem::SetCommandFault(const std::string& line, RadioFault fault) {
  if (fault == RadioFault::kNone)
    config_.commandFaults.erase(line);
  else
    config_.commandFaults[line] = fault;
}

void RadioModem::ClearFaults() {
  config_.fault = RadioFault::kNone;
  config_.commandFaults.clear();
}

std::optional<uint32_t> RadioModem::Register(const std::string& name) const {
  auto it = working_.find(name);
  if (it == working_.end()) return std::nullopt;
  return it->second;
}

std::optional<uint32_t> RadioModem::StoredRegister(const std::string& name) const {
  auto it = stored_.find(name);
  if (it == stored_.end()) return std::nullopt;
  return it->second;
}

bool RadioModem::SetRegister(const std::string& name, uint32_t value) {
  auto it = working_.find(name);
  if (it == working_.end()) return false;
  it->second = value;
  return true;
}

void RadioModem::ClearLog() {
  commands_.clear();
  commandTimes_.clear();
  hostBytes_.clear();
}

std::string RadioModem::BannerText() const {
  // From its "W" the tool counts the model at 3 to 6 and the firmware at 9 to 11; nothing
  // before that "W" may be a capital W, and the first ":" ends the banner.
  return "\r\nWR " + std::to_string(config_.model) + " v" + config_.firmware +
         " spread-spectrum modem, QSIM stand-in\r\nready:";
}

}  // namespace sim
