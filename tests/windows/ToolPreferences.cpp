// The unit tests' clean start on Windows: the tool's preferences live in the registry, which
// outlives each test's folder, so each test removes the key before and after it runs.
#include <windows.h>

#include "../unit/TestSupport.h"

namespace testing_support {

void ForgetToolPreferences() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Morva Fendral\\QELM Config Tool");
}

}  // namespace testing_support
