#pragma once
// The program's own file, as the controller's module-file-name call gave it: the full path of
// the running executable (read from /proc/self/exe), and the folder it lies in. An empty text
// when the path cannot be read.

#include <string>

namespace platform {

std::u16string ModuleFileName();
// The folder of ModuleFileName, without the final "/"; empty when the path has no "/".
std::u16string ModuleFolder();

}  // namespace platform
