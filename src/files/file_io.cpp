#include "files/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velanox::files {

using core::StatusCode;

namespace {

std::string systemReason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

constexpr const char* kTemporaryMark = "velanox-";
constexpr const char* kTemporarySuffix = ".tmp";

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".NAME.velanox-HOST-PID-RANDOM.tmp" in the target's folder.
std::string temporaryPathFor(const std::string& target) {
    static std::random_device entropy;
    char tail[64];
    std::snprintf(tail, sizeof tail, "%s%s-%ld-%08x%08x%s", kTemporaryMark,
                  temporaryHostTag().c_str(), long(::getpid()), unsigned(entropy()),
                  unsigned(entropy()), kTemporarySuffix);
    return folderOf(target) + "." + nameOf(target) + "." + tail;
}

// Each folder is cleaned of stale temporaries once per process, before its first write.
void cleanFolderOnce(const std::string& folder) {
    static std::mutex lock;
    static std::set<std::string> cleaned;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!cleaned.insert(folder).second) return;
    }
    removeStaleTemporaries(folder);
}

Status writeAll(int fd, const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            return Status::failure(core::StatusCode::WriteFailed,
                                   systemReason("Cannot write the file"));
        done += std::size_t(n);
    }
    return Status::success();
}

// Gives an unnamed file (O_TMPFILE) the name path; false with errno set when it cannot.
bool linkUnnamed(int fd, const std::string& path) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != ENOENT) return false;
    // Without /proc, a privileged process can still link the descriptor itself.
    return ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
}

} // namespace

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

Status openRegularFile(const std::string& path, UniqueFd& out, uint64_t* size) {
    out.reset();
    if (path.empty()) return Status::failure(core::StatusCode::EmptyPath, "No file name.");
    // O_NONBLOCK: opening a named pipe with no writer, or some devices, would otherwise wait.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file)
        return Status::failure(core::StatusCode::CannotOpen, systemReason("Cannot open the file"));
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return Status::failure(core::StatusCode::CannotOpen, "Not a regular file.");
    // Reads of a regular file then behave as usual.
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return Status::failure(core::StatusCode::CannotOpen, systemReason("Cannot open the file"));
    if (size) *size = uint64_t(info.st_size);
    out = std::move(file);
    return Status::success();
}

Status readWholeFile(int fd, std::vector<uint8_t>& out, std::size_t maxBytes) {
    out.clear();
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return Status::failure(core::StatusCode::CannotOpen, "Not a regular file.");
    if (uint64_t(info.st_size) > maxBytes)
        return Status::failure(core::StatusCode::TooLarge, "The file is too large to be read.");
    try {
        out.resize(std::size_t(info.st_size));
    } catch (const std::bad_alloc&) {
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            return Status::failure(StatusCode::CannotOpen, systemReason("Cannot read the file"));
        if (n == 0) break; // the file shrank while being read
        done += std::size_t(n);
    }
    out.resize(done);
    return Status::success();
}

Status readWholeFile(const std::string& path, std::vector<uint8_t>& out, std::size_t maxBytes) {
    out.clear();
    UniqueFd file;
    if (Status s = openRegularFile(path, file); !s.ok()) return s;
    return readWholeFile(file.get(), out, maxBytes);
}

Status writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                           LinkAtTarget link) {
    if (path.empty()) return Status::failure(core::StatusCode::EmptyPath, "No file name.");
    std::string target = path;
    struct stat linkInfo {};
    const bool isLink = ::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode);
    if (isLink && link == LinkAtTarget::Follow) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) target = resolved;
    }
    struct stat old {};
    const bool exists =
        (isLink && link == LinkAtTarget::Replace) ? false : ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return Status::failure(StatusCode::WriteFailed, "The target is not a regular file.");
    // No write permission bit at all counts as read-only even for a user who could write anyway.
    if (exists && (::access(target.c_str(), W_OK) != 0 || (old.st_mode & 0222) == 0))
        return Status::failure(StatusCode::WriteFailed,
                               "The existing file is read only and it can't be overwritten.");

    const std::string folder = folderOf(target);
    // 0666 so that a new file gets the permissions the umask allows, as any other would.
    UniqueFd file(
        ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    const bool unnamed = bool(file);
    std::string temporary;
    if (!unnamed) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return Status::failure(core::StatusCode::WriteFailed,
                                   systemReason("Cannot create the file"));
        cleanFolderOnce(folder.empty() ? "." : folder);
        for (int attempt = 0; attempt < 100 && !file; ++attempt) {
            temporary = temporaryPathFor(target);
            file.reset(::open(temporary.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (!file && errno != EEXIST)
                return Status::failure(core::StatusCode::WriteFailed,
                                       systemReason("Cannot create the file"));
        }
        if (!file) return Status::failure(core::StatusCode::WriteFailed, "Cannot create the file.");
    }
    // Every failure from here on removes the named temporary file (an unnamed one vanishes with
    // its descriptor).
    const auto fail = [&](const char* what) {
        Status status = Status::failure(core::StatusCode::WriteFailed, systemReason(what));
        file.reset();
        if (!temporary.empty()) ::unlink(temporary.c_str());
        return status;
    };
    if (Status s = writeAll(file.get(), bytes); !s.ok()) {
        file.reset();
        if (!temporary.empty()) ::unlink(temporary.c_str());
        return s;
    }
    if (exists && ::fchmod(file.get(), old.st_mode & 07777) != 0)
        return fail("Cannot set the file's permissions");
    if (::fsync(file.get()) != 0) return fail("Cannot write the file");

    if (unnamed) {
        // A new file takes its name in one step; a replacement is named beside the target and
        // renamed over it at once.
        if (!exists && !(isLink && link == LinkAtTarget::Replace)) {
            if (linkUnnamed(file.get(), target)) return Status::success();
            if (errno != EEXIST) return fail("Cannot create the file");
        }
        for (int attempt = 0; attempt < 100 && temporary.empty(); ++attempt) {
            const std::string name = temporaryPathFor(target);
            if (linkUnnamed(file.get(), name))
                temporary = name;
            else if (errno != EEXIST)
                return fail("Cannot create the file");
        }
        if (temporary.empty()) return fail("Cannot create the file");
    }
    if (::close(file.release()) != 0) return fail("Cannot write the file");
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        Status status =
            Status::failure(StatusCode::WriteFailed, systemReason("Cannot replace the file"));
        ::unlink(temporary.c_str());
        return status;
    }
    return Status::success();
}

bool isTemporaryFileName(const std::string& name) {
    if (name.size() < 2 || name[0] != '.') return false;
    const std::size_t mark = name.rfind(std::string(".") + kTemporaryMark);
    const std::size_t suffixLength = std::strlen(kTemporarySuffix);
    if (mark == std::string::npos || mark == 0 || name.size() < suffixLength ||
        name.compare(name.size() - suffixLength, suffixLength, kTemporarySuffix) != 0)
        return false;
    // HOST-PID-RANDOM between the mark and the suffix.
    const std::string tail =
        name.substr(mark + 1 + std::strlen(kTemporaryMark),
                    name.size() - suffixLength - mark - 1 - std::strlen(kTemporaryMark));
    unsigned host = 0;
    long pid = 0;
    char random[20] = {};
    char extra = 0;
    return std::sscanf(tail.c_str(), "%8x-%ld-%16[0-9a-f]%c", &host, &pid, random, &extra) == 3 &&
           std::strlen(random) == 16 && pid > 0;
}

std::string temporaryHostTag() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) name[0] = 0;
    uint32_t hash = 2166136261u;
    for (const char* p = name; *p; ++p)
        hash = (hash ^ uint8_t(*p)) * 16777619u;
    char text[16];
    std::snprintf(text, sizeof text, "%08x", unsigned(hash));
    return text;
}

bool processHasEnded(long pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

int removeStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return 0;
    const std::string host = temporaryHostTag();
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    const time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!isTemporaryFileName(name)) continue;
        const std::size_t mark = name.rfind(std::string(".") + kTemporaryMark);
        const std::string tail = name.substr(mark + 1 + std::strlen(kTemporaryMark));
        if (tail.compare(0, host.size(), host) != 0) continue;
        const long pid = std::strtol(tail.c_str() + host.size() + 1, nullptr, 10);
        if (!processHasEnded(pid)) continue;
        struct stat info {};
        const std::string path = prefix + name;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || now - info.st_mtime < 60)
            continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

std::string folderOfExecutable() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = 0;
    std::string text = path;
    const std::size_t slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

} // namespace velanox::files
