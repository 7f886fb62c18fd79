#include "codec/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace velanox::codec {
namespace {

std::string systemReason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Closes a descriptor on every path out.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

Status readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return Status::failure(StatusCode::CannotOpen, systemReason("Cannot open the file"));
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
        return Status::failure(StatusCode::CannotOpen, "Not a regular file.");
    if (std::size_t(info.st_size) > kMaxFileBytes)
        return Status::failure(StatusCode::TooLarge, "The file is too large to be read.");
    try {
        out.resize(std::size_t(info.st_size));
    } catch (const std::bad_alloc&) {
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(file.fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            return Status::failure(StatusCode::CannotOpen, systemReason("Cannot read the file"));
        if (n == 0) break; // the file shrank while being read
        done += std::size_t(n);
    }
    out.resize(done);
    return Status::success();
}

Status writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) target = resolved;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return Status::failure(StatusCode::WriteFailed, "The target is not a regular file.");
    // No write permission bit at all counts as read-only even for a user who could write anyway.
    if (exists && (::access(target.c_str(), W_OK) != 0 || (old.st_mode & 0222) == 0))
        return Status::failure(StatusCode::WriteFailed,
                               "The existing file is read only and it can't be overwritten.");

    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::random_device entropy;
    std::string temporary;
    Descriptor file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", unsigned(entropy()));
        temporary = folder + "." + name + "." + suffix + ".tmp";
        // 0666 so that a new file gets the permissions the umask allows, as any other would.
        file.fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd < 0 && errno != EEXIST)
            return Status::failure(StatusCode::WriteFailed, systemReason("Cannot create the file"));
    }
    if (file.fd < 0) return Status::failure(StatusCode::WriteFailed, "Cannot create the file.");

    const auto fail = [&](const char* what) {
        Status status = Status::failure(StatusCode::WriteFailed, systemReason(what));
        ::close(file.fd);
        file.fd = -1;
        ::unlink(temporary.c_str());
        return status;
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("Cannot write the file");
        done += std::size_t(n);
    }
    if (exists && ::fchmod(file.fd, old.st_mode & 07777) != 0)
        return fail("Cannot set the file's permissions");
    if (::fsync(file.fd) != 0) return fail("Cannot write the file");
    if (::close(file.fd) != 0) {
        file.fd = -1;
        ::unlink(temporary.c_str());
        return Status::failure(StatusCode::WriteFailed, systemReason("Cannot write the file"));
    }
    file.fd = -1;
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        Status status =
            Status::failure(StatusCode::WriteFailed, systemReason("Cannot replace the file"));
        ::unlink(temporary.c_str());
        return status;
    }
    return Status::success();
}

} // namespace velanox::codec
