#pragma once
// The serial lines the kernel uses as its console (/proc/consoles). Such a line is never
// chosen by the port map's defaults nor opened to see whether it is there: opening it and
// changing its rate would garble the console and what a getty runs on it. Nothing here fails:
// what cannot be read counts as no console.

#include <string>
#include <vector>

namespace platform {

// The device paths of the consoles (/dev/ttyS0, ...).
std::vector<std::string> KernelConsoles();
// Whether the path (or what it links to) is one of them.
bool IsKernelConsole(const std::string& path);

}  // namespace platform
