// Reading files without blocking on what is not a file, and replacing files without ever leaving
// a half-written file, a missing file or a temporary file behind.
#pragma once

#include "core/status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velanox::files {

using core::Status;

/// The largest file read whole unless a caller asks for less.
inline constexpr std::size_t kMaxFileBytes = std::size_t(2) * 1024 * 1024 * 1024;

/// A file descriptor, closed when the object ends.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

/// Opens a file for reading. The open itself never waits (a named pipe without a writer, a
/// device), and only a regular file is accepted: anything else is refused with "Not a regular
/// file." before a byte is read. size receives the file's size when given.
Status openRegularFile(const std::string& path, UniqueFd& out, uint64_t* size = nullptr);

/// Reads an open file whole from its start into out (at most maxBytes; a larger file is refused
/// with core::StatusCode::TooLarge before anything is allocated).
Status readWholeFile(int fd, std::vector<uint8_t>& out, std::size_t maxBytes = kMaxFileBytes);

/// openRegularFile and readWholeFile.
Status readWholeFile(const std::string& path, std::vector<uint8_t>& out,
                     std::size_t maxBytes = kMaxFileBytes);

/// What writeFileAtomically does with a symbolic link at the target.
enum class LinkAtTarget {
    Follow,  ///< the file the link names is replaced (a picture the person chose to save over)
    Replace, ///< the link itself is replaced by the new file; what it names is never written
};

/// Writes bytes to path without ever leaving a half-written or missing file: the bytes go to an
/// unnamed file in the target's folder (O_TMPFILE), are flushed to disk, take the permission
/// bits of the file they replace, and only then get a name: the target's own when there was no
/// file, else a temporary one that is renamed over the target at once. Where the file system
/// cannot make unnamed files, a named temporary file with an unguessable name is created
/// exclusively (never through a link); such names of this program whose writer is gone are
/// removed from a folder the first time it is written to. An existing file that is not writable
/// is refused. On any failure the target is as it was and nothing is left behind.
Status writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                           LinkAtTarget link = LinkAtTarget::Follow);

/// Whether a file name is one of the temporary names writeFileAtomically gives (".NAME." then
/// "velanox-", the writer's host and process, a random part and ".tmp").
bool isTemporaryFileName(const std::string& name);

/// Removes, from folder, the temporary files of this program left by writers that are gone: of
/// this host, whose process no longer runs, owned by this user and older than a minute. Returns
/// how many were removed.
int removeStaleTemporaries(const std::string& folder);

/// The tag of this machine in the names of temporaries (8 hex digits from its host name), so that
/// a folder shared between machines is cleaned only of what was left here.
std::string temporaryHostTag();

/// Whether the process pid of this machine has ended (one of another user's still runs).
bool processHasEnded(long pid);

/// The folder of the running program (from /proc/self/exe); empty when it cannot be told.
std::string folderOfExecutable();

} // namespace velanox::files
