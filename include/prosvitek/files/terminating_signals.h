#pragma once
// A program killed while it writes (SIGTERM at logout or from a batch
// system, SIGINT, SIGHUP when its terminal goes) leaves no temporary file
// behind: the handler removes them, then lets the signal end the program as
// it would have, with the status the caller expects.

namespace files {

// Installs the handler for every signal whose default ends the process and
// that comes from outside it; a signal ignored at start (nohup, a shell's
// background job) stays ignored. `first`, when given, runs first in the
// handler and must be safe there. Call it before any thread starts.
void RemoveTemporaryFilesOnSignals(void (*first)() = nullptr);

}  // namespace files
