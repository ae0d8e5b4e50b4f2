#include "ui/BuildText.h"

std::u16string BuildTextFor(const char* compilerDate) {
  std::u16string out = u"Built on ";
  const size_t prefix = out.size();
  for (const char* p = compilerDate; *p; ++p) {
    if (*p == ' ' && (out.size() == prefix || out.back() == u' ')) continue;
    out += static_cast<char16_t>(*p);
  }
  return out;
}

// The date of this file's compilation; the build recompiles it whenever the build's number
// changes, so that the date and the version of one build belong together.
const std::u16string buildText = BuildTextFor(__DATE__);
