#include "platform/dialog/text/TypedPrefix.h"

#include <algorithm>

#include "platform/system/SafeText.h"

namespace platform {

namespace {

bool BeginsWith(const std::u16string& item, const std::u32string& folded) {
  const std::u32string shown = SafeText(item);
  if (shown.size() < folded.size()) return false;
  for (size_t i = 0; i < folded.size(); ++i)
    if (FoldCase(shown[i]) != folded[i]) return false;
  return true;
}

// The first entry from `from` on (wrapping round) that begins with the text.
int FirstFrom(const std::vector<std::u16string>& items, int from, const std::u32string& folded) {
  const int count = static_cast<int>(items.size());
  for (int k = 0; k < count; ++k) {
    const int i = ((from + k) % count + count) % count;
    if (BeginsWith(items[i], folded)) return i;
  }
  return -1;
}

}  // namespace

int TypedPrefix::Next(const std::vector<std::u16string>& items, int current, char32_t ch,
                      uint64_t nowMs) {
  if (nowMs - lastMs_ > kGapMs) typed_.clear();
  lastMs_ = nowMs;
  if (items.empty()) return -1;
  const std::u32string prefix = typed_ + FoldCase(ch);
  if (prefix.size() > 1) {
    // The current entry may already begin with the longer text: it stays then.
    const int found = FirstFrom(items, std::max(current, 0), prefix);
    if (found >= 0) {
      typed_ = prefix;
      return found;
    }
    const bool repeated =
        std::all_of(prefix.begin(), prefix.end(), [&](char32_t c) { return c == prefix.front(); });
    if (!repeated) return -1;
  }
  const int found = FirstFrom(items, current + 1, prefix.substr(0, 1));
  if (found >= 0) typed_ = prefix;
  return found;
}

}  // namespace platform
