#pragma once
// The program's own file, as the controller's module-file-name call gave it: the full path of
// the running executable (read from /proc/self/exe; on Windows GetModuleFileNameW), and the
// folder it lies in. An empty text
// when the path cannot be read.

#include <string>

namespace platform {

// What separates a path's folders: "/", and on Windows "\" as well.
#ifdef _WIN32
inline constexpr char16_t kFolderSeparators[] = u"/\\";
#else
inline constexpr char16_t kFolderSeparators[] = u"/";
#endif

std::u16string ModuleFileName();
// The folder of ModuleFileName, without the final separator; empty when the path has none.
std::u16string ModuleFolder();

}  // namespace platform
