// Ctrl+C for the batch tool: the first interrupt asks every job to stop at its next progress
// call; a second one ends the program at once.
#pragma once

namespace velanox::cli {

/// Installs the SIGINT and SIGTERM handlers.
void installCancelHandler();

/// An interrupt arrived (or requestCancel was called).
bool cancelRequested();

/// Sets the flag as an interrupt does.
void requestCancel();

} // namespace velanox::cli
