#pragma once
// Where the program's own files live. The controller had no current directory and kept its
// log in the root folder; here a bare file name means the file of that name in the program's
// data folder: $QELM_DATA_DIR when set, else $XDG_STATE_HOME/qelm-config, else
// ~/.local/state/qelm-config (on Windows: $QELM_DATA_DIR, else "Morva Fendral\QELM Config
// Tool" in the user's local application data folder). The folder is created when missing; if
// it cannot be, the path is still returned and opening the file simply fails.

#include <string>

namespace platform {

std::string DataFolder();
// A name without any "/" is placed in DataFolder(); any other path is returned unchanged.
std::string DataPath(const std::string& name);

}  // namespace platform
