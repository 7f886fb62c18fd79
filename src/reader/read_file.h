// What a reader child does with one file: limits itself (CPU time, address space, no core
// files, no new privileges), reads the file (descriptor 3) into memory, loads the codec module
// of its format, installs the system-call filter, decodes it with its pixels in a memory file
// and sends the reply (codec/reader_reply) with that memory file over the socket (descriptor
// 4). Whatever goes wrong, the program learns it from the reply, or from the way it ended.
#pragma once

namespace velanox::reader {

/// Reads the file the arguments describe (--cpu-seconds, --memory, --format, --page,
/// --preview, --max-dimension, --max-pixels, --max-profile-bytes, --budget, --name, --folder).
/// Returns the exit code.
int readFile(int argc, char** argv);

} // namespace velanox::reader
