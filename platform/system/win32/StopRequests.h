#pragma once
// The meeting point, on Windows, of what asks a command-line program to stop and what listens:
// the console's Ctrl+C (taken as SIGINT), Ctrl+Break (SIGTERM) and closing (SIGHUP), a fleet
// parent's request through the child's named events (StopEventName), and the parent's end
// (DieWithParent, SIGTERM that counts as one request at most). StopSignals.cpp delivers them to
// the program's handler or queues them for ReadSignal; ProcessGroup.cpp sets a child's event.
//
// Nothing here fails; a request that comes before anyone listens is kept until someone does.

#include <string>

namespace platform::win32 {

// The signal numbers the program reports (exit status 128 + number), as on Linux.
inline constexpr int kSigHup = 1, kSigInt = 2, kSigKill = 9, kSigTerm = 15;
// The signals a fleet parent passes on to its children.
inline constexpr int kPassedSignals[] = {kSigHup, kSigInt, kSigTerm};

// The name of the event that asks process pid to stop with the given signal.
std::wstring StopEventName(unsigned long pid, int signal);

// A request arrived; fromParent marks the parent's end, which never counts as a second one.
void DeliverStop(int signal, bool fromParent);

// Whether a request waits in the queue for ReadSignal (the fleet parent's wait asks).
bool StopWaiting();

}  // namespace platform::win32
