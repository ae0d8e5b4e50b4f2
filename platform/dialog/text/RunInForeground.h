#pragma once
// Runs a program in the foreground and waits for its end: the text browser that shows the
// help, while the terminal backend has left the screen to it. argv[0] is looked up in PATH;
// the program inherits the environment and the terminal. A signal that interrupts the wait
// does not end it: the program is still on the screen and is waited for.
//
// Promises on failure: false when the program could not be started or did not end with
// status 0.

#include <string>
#include <vector>

namespace platform {

bool RunInForeground(const std::vector<std::string>& argv);

}  // namespace platform
