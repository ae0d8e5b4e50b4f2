#pragma once
// The codes that follow "sd" when the radio's serial rate is changed, per model. Model 2400
// knows 4800 to 19200 only; every other model also 57600 and 115200. Codes are compared
// without regard to letter case. Lookups that find nothing say so with an empty result.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

std::optional<uint32_t> RateForCode(int model, std::string_view code);
// The code as the table writes it ("0B", "083"), or empty when the model has none.
std::string CodeForRate(int model, uint32_t baud);

}  // namespace sim
