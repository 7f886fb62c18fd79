// The limits the reader puts on itself before it reads a byte of the file.
#pragma once

#include <cstdint>

namespace velanox::reader {

/// Limits this process: CPU time (SIGXCPU beyond it), address space, no core files, no new
/// privileges, and every descriptor but 0 to 4 closed. False when a limit cannot be set.
bool limitResources(uint32_t cpuSeconds, uint64_t addressSpaceBytes);

/// Installs the system-call filter: what reading a file in memory, decoding and replying need
/// (memory, threads, reading files, the reply's socket and memory file); no new processes, no
/// network, no writing, creating or removing files, no signals to others. A call outside the
/// list fails with EPERM. False when the filter cannot be installed.
bool installSystemCallFilter();

} // namespace velanox::reader
