#pragma once
// A window killed while it saves (SIGTERM at logout, SIGINT, SIGHUP when its
// terminal goes) leaves no temporary file behind: the handler removes them
// and then lets the signal end the program as it would have.

// Installs the handler for every signal whose default ends the process and
// that comes from outside it; a signal ignored at start stays ignored.
void RemoveTemporaryFilesOnSignals();
