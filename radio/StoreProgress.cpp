#include "radio/StoreProgress.h"

namespace radio {

std::optional<bool> StoreProgress::State::Stored() const {
  if (!storeSent) return false;
  if (confirmed) return true;
  return std::nullopt;
}

std::string StoreProgress::State::AnswersAt() const {
  if (!rateSent) return oldRate;
  // A store confirmed after the rate command confirms that the command went out before it.
  if (rateConfirmed || confirmed) return newRate;
  return "";
}

void StoreProgress::Begin(const std::string& rate) {
  std::lock_guard<std::mutex> lock(m_);
  s_ = State{};
  s_.begun = true;
  s_.oldRate = rate;
}

void StoreProgress::RateSent(const std::string& rate) {
  std::lock_guard<std::mutex> lock(m_);
  s_.rateSent = true;
  s_.newRate = rate;
}

void StoreProgress::RateConfirmed() {
  std::lock_guard<std::mutex> lock(m_);
  s_.rateConfirmed = true;
}

void StoreProgress::Accepted(const std::string& reg, int32_t value) {
  std::lock_guard<std::mutex> lock(m_);
  s_.accepted.emplace_back(reg, value);
}

void StoreProgress::Failed(const std::string& reg) {
  std::lock_guard<std::mutex> lock(m_);
  s_.failed.push_back(reg);
}

void StoreProgress::StoreSent() {
  std::lock_guard<std::mutex> lock(m_);
  s_.storeSent = true;
}

void StoreProgress::Confirmed() {
  std::lock_guard<std::mutex> lock(m_);
  s_.confirmed = true;
}

void StoreProgress::Lost(const std::u16string& what) {
  std::lock_guard<std::mutex> lock(m_);
  if (!s_.lost) s_.lostAt = what;
  s_.lost = true;
}

StoreProgress::State StoreProgress::Get() const {
  std::lock_guard<std::mutex> lock(m_);
  return s_;
}

bool ParseSetCommand(const std::u16string& command, std::string* reg, int32_t* value) {
  if (command.size() < 3 || command.size() > 10) return false;
  std::string name;
  for (size_t i = 0; i < 2; ++i) {
    const char16_t c = command[i];
    if (c < u'a' || c > u'z') return false;
    name += static_cast<char>(c);
  }
  uint32_t v = 0;
  for (size_t i = 2; i < command.size(); ++i) {
    const char16_t c = command[i];
    int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                : c >= u'a' && c <= u'f' ? c - u'a' + 10
                : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                         : -1;
    if (digit < 0) return false;
    v = v * 16 + static_cast<uint32_t>(digit);
  }
  *reg = name;
  *value = static_cast<int32_t>(v);
  return true;
}

}  // namespace radio
