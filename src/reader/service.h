// The reader service: velanox-nr-reader started once per program (--serve), with its libraries
// mapped and relocated, forks a fresh child for every file it is sent (the protocol:
// codec/contained_reader_protocol.h). The child limits and filters itself and reads the file
// exactly as a reader started for that file alone would.
#pragma once

namespace velanox::reader {

/// What a forked child runs: the request's arguments (argv[0] is "velanox-nr-reader"), with the
/// file as descriptor 3, the reply socket as 4 and stderr as 2. Returns the exit code.
using ReadOne = int (*)(int argc, char** argv);

/// Serves requests on control until it is closed; forks one child per request and runs
/// readOne in it. Single-threaded: it never starts a thread, so the fork is always safe.
/// Returns the service's exit code.
int serve(int control, ReadOne readOne);

} // namespace velanox::reader
