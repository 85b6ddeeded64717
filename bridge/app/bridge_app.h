// The bridge's start-up: the program log entry, the command line (the front
// end's window title), the single-instance lock, then the main dialog until it
// ends. Nothing may be shown before the lock is held.
#pragma once

namespace padlink {

int runBridge(int argc, char** argv);

}  // namespace padlink
