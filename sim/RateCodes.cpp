#include "sim/RateCodes.h"

#include <cctype>

namespace sim {

namespace {
struct Code {
  uint32_t baud;
  const char* text;
};
constexpr Code kModel2400[] = {{4800, "109"}, {9600, "083"}, {14400, "057"}, {19200, "040"}};
constexpr Code kOthers[] = {{4800, "2F"},  {9600, "17"},  {14400, "0F"},
                            {19200, "0B"}, {57600, "03"}, {115200, "01"}};

template <typename F>
void ForEach(int model, F f) {
  if (model == 2400) {
    for (const Code& c : kModel2400) f(c);
  } else {
    for (const Code& c : kOthers) f(c);
  }
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

std::optional<uint32_t> RateForCode(int model, std::string_view code) {
  std::optional<uint32_t> found;
  ForEach(model, [&](const Code& c) {
    if (SameText(code, c.text)) found = c.baud;
  });
  return found;
}

std::string CodeForRate(int model, uint32_t baud) {
  std::string found;
  ForEach(model, [&](const Code& c) {
    if (c.baud == baud) found = c.text;
  });
  return found;
}

}  // namespace sim
