#pragma once
// What a store or a maker defaults reset has done on the wire so far, as far as the line can
// tell: whether the rate command went out and was confirmed (so the radio answers at the new
// rate), which set commands the radio accepted and which failed, whether "m>" was written and
// whether the line confirmed everything through "z>", and whether the connection was lost on
// the way. The sequences fill it when the settings record points at one; whoever runs them
// (a report, a signal handler on another thread) reads a copy at any moment.
//
// From it follows what the radio holds: stored when "m>" and "z>" were written and confirmed,
// not stored when "m>" was never written, unknown otherwise; and the rate it answers at: the
// new one once its rate command was confirmed, the old one while none was sent, unknown in
// between. Nothing here fails; every call is safe from any thread.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace radio {

class StoreProgress {
 public:
  struct State {
    bool begun = false;          // a store or reset started sending
    std::string oldRate;         // the rate the radio answered at when it began
    std::string newRate;         // the rate its rate command asked for ("" none sent)
    bool rateSent = false;       // the rate command was written
    bool rateConfirmed = false;  // and the line confirmed it
    bool storeSent = false;      // "m>" was written
    bool confirmed = false;      // "m>" and "z>" written and confirmed by the line
    bool lost = false;           // the connection was lost before a confirmation
    std::u16string lostAt;       // what the line did not confirm ("the store command")
    // Registers (two letters) whose set commands the radio accepted, with the value sent, and
    // those whose commands failed, in the order sent.
    std::vector<std::pair<std::string, int32_t>> accepted;
    std::vector<std::string> failed;

    // true stored, false not stored, nullopt unknown.
    std::optional<bool> Stored() const;
    // The rate the radio answers at now; "" when that is unsure.
    std::string AnswersAt() const;
    // Whether the radio may hold settings it has not stored (the span a stop must not cut).
    bool Unsettled() const { return begun && !confirmed && !(storeSent && lost); }
  };

  void Begin(const std::string& rate);
  void RateSent(const std::string& rate);
  void RateConfirmed();
  void Accepted(const std::string& reg, int32_t value);
  void Failed(const std::string& reg);
  void StoreSent();
  void Confirmed();
  void Lost(const std::u16string& what);
  State Get() const;

 private:
  mutable std::mutex m_;
  State s_;
};

// The register and value of a set command ("pw34" -> "pw", 0x34); false for anything else.
bool ParseSetCommand(const std::u16string& command, std::string* reg, int32_t* value);

}  // namespace radio
