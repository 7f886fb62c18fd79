// Status: what an operation came to, as a code and, on failure, a reason for the person. Every
// layer reports through it; only the programs' fronts turn it into a message box or an exit code,
// and the engine's C entry points into their result numbers.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace velanox::core {

/// The numbers are those picture operations have always returned: 0 success, 2 no path, 5 no
/// reader or writer, 10 and up from the file formats.
enum class StatusCode : int32_t {
    Ok = 0,
    OutOfMemory = 1,
    EmptyPath = 2,
    Cancelled = 3,       ///< the person or a callback asked to stop
    InvalidArgument = 4, ///< arguments that cannot describe what was asked; nothing was touched
    NoReader = 5,        ///< no reader or writer for the format, or no pixels to save
    CannotOpen = 10,     ///< a file cannot be opened or read
    Corrupt = 11,        ///< truncated or malformed data
    Unsupported = 12,    ///< a variant of a format, or a depth, that is not handled
    TooLarge = 13,       ///< beyond the size limits, refused before allocating
    WriteFailed = 14,    ///< the output could not be written
};

struct Status {
    StatusCode code = StatusCode::Ok;
    std::string reason; ///< for the person: what went wrong, without the file name
    /// The reader's own words when a read in the contained reader failed (the first meaningful
    /// line it wrote to stderr); empty when it said nothing.
    std::string detail;

    bool ok() const { return code == StatusCode::Ok; }
    static Status success() { return {}; }
    static Status failure(StatusCode code, std::string reason) {
        return {code, std::move(reason), {}};
    }
};

} // namespace velanox::core
