// The clean-up of scratch files when a signal ends the process, for the
// POSIX front ends (the command line and the Qt window).
#pragma once

namespace tarnvell {

// Sets up the process, before it starts any other thread, so that no signal
// leaves a scratch file behind: every signal from outside that would end the
// process (those a fault raises too included) is taken by one thread of its
// own, which removes the scratch files not yet in place and then ends the
// process as the signal would (signals ignored at start stay ignored); a
// broken pipe and a file-size limit become failed writes.
void HandleSignalsForCleanUp();

// The name of the thread that takes those signals.
constexpr char kSignalThread[] = "tarnvell-signal";

}  // namespace tarnvell
