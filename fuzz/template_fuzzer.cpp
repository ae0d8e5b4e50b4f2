// The dialog-template parser: any resource script text is read or refused with an error,
// never crashes; what it reads holds only the kinds of controls the framework knows.
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "platform/dialog/DialogTemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::ResourceScript script = platform::ParseResourceScript(text);
  for (const auto& d : script.dialogs)
    for (const auto& c : d.controls)
      if (static_cast<int>(c.kind) < 0 || static_cast<int>(c.kind) > 4)
        fuzz::Broken("a control of a known kind");
  return 0;
}
