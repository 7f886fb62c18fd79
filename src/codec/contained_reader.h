// Reading a picture in a contained child process: velanox-nr-reader, a small program of ours,
// started once per program as a service (codec/contained_reader_protocol.h), forks a fresh child
// for every file; the child runs the format readers on the file it receives already open, under
// a CPU-time limit, an address-space limit and a system-call filter, with its stderr captured
// and bounded and its ImageMagick temporaries in a private folder removed when the read ends.
// The decoded pixels come back in a memory file that the program maps, without a copy. A crash,
// a hang or a bomb becomes a clear reason and nothing else is affected; a service that has
// ended is started again on the next read.
//
// The desktop program and the batch tool switch it on at start (setContainedReading); every
// Picture::load then goes through it. The tests and the fuzzers read in process.
#pragma once

#include "codec/codec.h"
#include "codec/picture_load.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace velanox::codec {

inline constexpr const char* kReadTooLong = "The file took too long to read.";
inline constexpr const char* kReadTooMuchMemory =
    "Reading the file needed more memory than allowed.";
inline constexpr const char* kReaderStopped = "The reader stopped unexpectedly.";

struct ContainedReading {
    bool enabled = false;
    std::string readerProgram; ///< velanox-nr-reader; empty: findReaderProgram()
    uint32_t cpuSeconds = 20;  ///< CPU time the reader may use on one file
    uint64_t memoryBytes = 0;  ///< address space the reader may use; 0: defaultMemoryBudget()
    /// Called about every 50 ms while the reader runs; returning false stops the read (it then
    /// fails with core::StatusCode::Cancelled). Empty: never stopped.
    std::function<bool()> keepWaiting;
};

/// Sets how Picture::load reads files in this process from now on; when enabled, the reader
/// service starts now rather than on the first read.
void setContainedReading(ContainedReading settings);
const ContainedReading& containedReading();

/// Half the machine's physical memory.
uint64_t defaultMemoryBudget();

/// The reader program: $VELANOX_READER, else velanox-nr-reader beside this executable, in
/// ../libexec/velanox-nr/ from it, or where the build made it. Empty when none exists.
std::string findReaderProgram();

/// The first line of a reader's stderr worth showing to a person: lines without a letter or a
/// digit are passed over, control characters become spaces, the ends are trimmed and a long
/// line is cut (at a character boundary) to about 200 bytes. Empty when there is none.
std::string firstMeaningfulLine(std::string_view text);

/// Reads path in a contained child as the settings say (the enabled flag is not looked at).
/// The path must name a regular file; the reader gets it open for reading and nothing else.
/// A failed read (not a stopped one) carries firstMeaningfulLine of the reader's stderr as
/// its detail.
Status loadPictureContained(const std::string& path, const LoadRequest& request,
                            const ContainedReading& settings, Picture& out);

/// The reader service's process id; -1 when none runs (for the tests).
pid_t readerServiceProcess();

/// Ends the reader service (reads in flight fail as stopped readers); the next read starts a
/// fresh one. The service also ends by itself when this process does.
void stopReaderService();

/// What the program's side makes of a child's reply: the reply bytes (with the memory file,
/// -1 when none came). Exposed for the fuzz target of the protocol. Takes ownership of
/// memoryFile.
Status acceptReply(ByteSpan reply, int memoryFile, const Limits& limits, Picture& out);

} // namespace velanox::codec
