#pragma once
// Whether a process other than this one has a character device open. Another program's
// session on a terminal (a shell, a getty, a terminal program) takes no lock that we could
// see, and TIOCEXCL stops nobody who is root; what /proc shows of other processes' open files
// is the one sign there is. Processes whose files this user may not see count as not holding
// it; nothing here fails.

#include <sys/types.h>

namespace platform {

bool OpenElsewhere(dev_t device);

}  // namespace platform
