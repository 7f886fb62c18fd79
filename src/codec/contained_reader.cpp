#include "codec/contained_reader.h"

#include "codec/magick/magick_runtime.h"
#include "codec/reader_reply.h"
#include "files/file_io.h"
#include "image/pixel_storage.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velanox::codec {

namespace {

ContainedReading& settingsStore() {
    static ContainedReading settings;
    return settings;
}

// The first bytes of the reader's stderr are kept (for a person debugging); the rest is read
// and dropped, so a reader that floods it neither blocks nor fills memory.
constexpr std::size_t kKeptErrorBytes = 4096;

bool isExecutable(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// A private folder for the reader's temporaries and its ImageMagick policy, removed with
// everything in it when the object ends.
class PrivateFolder {
public:
    PrivateFolder() {
        std::error_code error;
        std::string base = std::filesystem::temp_directory_path(error).string();
        if (error || base.empty()) base = "/tmp";
        std::string folder = base + "/velanox-reader-XXXXXX";
        if (::mkdtemp(folder.data())) m_path = folder;
    }
    ~PrivateFolder() {
        if (m_path.empty()) return;
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& path() const { return m_path; }
    bool writeFile(const std::string& name, const std::string& text) const {
        const std::string file = m_path + "/" + name;
        files::UniqueFd fd(
            ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        return fd && ::write(fd.get(), text.data(), text.size()) == ssize_t(text.size());
    }

private:
    std::string m_path;
};

// Moves a descriptor above the ones the child's are arranged into (0 to 4), close-on-exec.
files::UniqueFd lifted(int fd) {
    files::UniqueFd moved(::fcntl(fd, F_DUPFD_CLOEXEC, 10));
    ::close(fd);
    return moved;
}

// The environment of the child: ours, with its temporary and configuration folders private.
std::vector<std::string> childEnvironment(const std::string& folder) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("MAGICK_", 0) == 0 || entry.rfind("TMPDIR=", 0) == 0) continue;
        env.push_back(entry);
    }
    env.push_back("TMPDIR=" + folder);
    env.push_back("MAGICK_TEMPORARY_PATH=" + folder);
    env.push_back("MAGICK_CONFIGURE_PATH=" + folder);
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

struct ChildOutcome {
    std::vector<uint8_t> reply; ///< empty: none came
    files::UniqueFd memoryFile;
    bool timedOut = false, cancelled = false;
    int waitStatus = 0;
};

// Receives one reply message, with at most one descriptor; extra descriptors are closed.
bool receiveReply(int socket, ChildOutcome& outcome) {
    std::vector<uint8_t> buffer(kMaxReplyBytes + 1);
    iovec io{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 8)];
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t n;
    do {
        n = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (!outcome.memoryFile)
                outcome.memoryFile.reset(fd);
            else
                ::close(fd);
        }
    }
    if (n <= 0 || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) {
        outcome.memoryFile.reset();
        return false;
    }
    buffer.resize(std::size_t(n));
    outcome.reply = std::move(buffer);
    return true;
}

Status childFailure(const ChildOutcome& outcome) {
    if (outcome.cancelled)
        return Status::failure(core::StatusCode::Cancelled, "Reading the file was stopped.");
    if (outcome.timedOut) return Status::failure(core::StatusCode::TooLarge, kReadTooLong);
    const int status = outcome.waitStatus;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        return Status::failure(core::StatusCode::TooLarge, kReadTooLong);
    // Nobody but the kernel's out-of-memory killer sends it SIGKILL.
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return Status::failure(core::StatusCode::TooLarge, kReadTooMuchMemory);
    return Status::failure(core::StatusCode::Corrupt, kReaderStopped);
}

} // namespace

std::string firstMeaningfulLine(std::string_view text) {
    constexpr std::size_t kLongest = 200;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const bool meaningful = std::any_of(line.begin(), line.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        });
        if (!meaningful) continue;
        std::string shown;
        for (const char c : line)
            shown += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
        const std::size_t first = shown.find_first_not_of(' ');
        shown = shown.substr(first, shown.find_last_not_of(' ') - first + 1);
        if (shown.size() > kLongest) {
            std::size_t cut = kLongest;
            while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80)
                --cut;
            shown.resize(cut);
            shown += "...";
        }
        return shown;
    }
    return {};
}

void setContainedReading(ContainedReading settings) {
    settingsStore() = std::move(settings);
}

const ContainedReading& containedReading() {
    return settingsStore();
}

uint64_t defaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return uint64_t(2) << 30;
    return uint64_t(pages) * uint64_t(pageSize) / 2;
}

std::string findReaderProgram() {
    if (const char* env = std::getenv("VELANOX_READER"); env && isExecutable(env)) return env;
    const std::string folder = files::folderOfExecutable();
    if (!folder.empty()) {
        for (const char* relative :
             {"/velanox-nr-reader", "/../libexec/velanox-nr/velanox-nr-reader"})
            if (isExecutable(folder + relative)) return folder + relative;
    }
#ifdef VELANOX_READER_BUILD_PATH
    if (isExecutable(VELANOX_READER_BUILD_PATH)) return VELANOX_READER_BUILD_PATH;
#endif
    return {};
}

Status acceptReply(ByteSpan replyBytes, int memoryFile, const Limits& limits, Picture& out) {
    files::UniqueFd file(memoryFile);
    DecodedReply reply;
    Picture described;
    if (!decodeReply(replyBytes, limits, reply, described))
        return Status::failure(core::StatusCode::Corrupt, kReaderStopped);
    if (!reply.status.ok()) {
        if (reply.status.code == core::StatusCode::OutOfMemory)
            reply.status.reason = kReadTooMuchMemory;
        return reply.status;
    }
    // Only a memory file sealed against shrinking can be mapped without the risk of a fault
    // when its pages vanish; anything else the child passed is refused.
    struct stat info {};
    const int seals = file ? ::fcntl(file.get(), F_GET_SEALS) : -1;
    if (seals < 0 || !(seals & F_SEAL_SHRINK) || ::fstat(file.get(), &info) != 0 ||
        !S_ISREG(info.st_mode) ||
        uint64_t(info.st_size) < uint64_t(reply.pixelBytes) + reply.profileBytes)
        return Status::failure(core::StatusCode::Corrupt, kReaderStopped);
    std::vector<uint8_t> profile(reply.profileBytes);
    if (!profile.empty() && ::pread(file.get(), profile.data(), profile.size(),
                                    off_t(reply.pixelBytes)) != ssize_t(profile.size()))
        return Status::failure(core::StatusCode::Corrupt, kReaderStopped);
    image::PixelStorage pixels = image::PixelStorage::mapMemoryFile(file.get(), reply.pixelBytes);
    if (!pixels)
        return Status::failure(core::StatusCode::OutOfMemory, "Not enough memory for the picture.");
    out.release();
    if (!out.adoptPixels(std::move(pixels), reply.width, reply.height, reply.bitsPerPixel).ok())
        return Status::failure(core::StatusCode::Corrupt, kReaderStopped);
    out.paletteSize = described.paletteSize;
    out.palette = described.palette;
    out.info = std::move(described.info);
    out.info.iccProfile = std::move(profile);
    out.writeOptions = std::move(described.writeOptions);
    return Status::success();
}

Status loadPictureContained(const std::string& path, const LoadRequest& request,
                            const ContainedReading& settings, Picture& out) {
    out.release();
    out.info.exifBlock.clear();
    out.info.exif = ExifSummary{};
    out.info.orientation = 1;
    out.info.iccProfile.clear();
    if (path.empty()) return Status::failure(core::StatusCode::EmptyPath, "No file name.");
    files::UniqueFd input;
    uint64_t size = 0;
    if (Status s = files::openRegularFile(path, input, &size); !s.ok()) return s;
    if (size == 0) return Status::failure(core::StatusCode::Corrupt, "The file is empty.");
    if (size > files::kMaxFileBytes)
        return Status::failure(core::StatusCode::TooLarge, "The file is too large to be read.");

    const std::string program =
        settings.readerProgram.empty() ? findReaderProgram() : settings.readerProgram;
    if (program.empty())
        return Status::failure(core::StatusCode::NoReader,
                               "The reader program velanox-nr-reader is missing.");
    const uint64_t memory = settings.memoryBytes ? settings.memoryBytes : defaultMemoryBudget();
    const uint32_t seconds = settings.cpuSeconds ? settings.cpuSeconds : 20;

    PrivateFolder folder;
    if (folder.path().empty() || !folder.writeFile("policy.xml", magick::policyText({memory, 0})))
        return Status::failure(core::StatusCode::CannotOpen, "Cannot create a temporary folder.");

    int pair[2], errors[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
        return Status::failure(core::StatusCode::CannotOpen, "Cannot start the reader.");
    files::UniqueFd ours = lifted(pair[0]), theirs = lifted(pair[1]);
    if (::pipe2(errors, O_CLOEXEC) != 0)
        return Status::failure(core::StatusCode::CannotOpen, "Cannot start the reader.");
    files::UniqueFd errorsIn = lifted(errors[0]), errorsOut = lifted(errors[1]);
    input = lifted(input.release());
    if (!ours || !theirs || !errorsIn || !errorsOut || !input)
        return Status::failure(core::StatusCode::CannotOpen, "Cannot start the reader.");

    const MemoryBudget& budget = request.limits.budget;
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::vector<std::string> args = {program,
                                     "--cpu-seconds",
                                     std::to_string(seconds),
                                     "--memory",
                                     std::to_string(memory),
                                     "--format",
                                     std::to_string(request.format),
                                     "--page",
                                     std::to_string(request.page),
                                     "--preview",
                                     std::to_string(request.previewMaxWidth),
                                     std::to_string(request.previewMaxHeight),
                                     "--max-dimension",
                                     std::to_string(request.limits.maxDimension),
                                     "--max-pixels",
                                     std::to_string(request.limits.maxPixels),
                                     "--max-profile-bytes",
                                     std::to_string(request.limits.maxProfileBytes),
                                     "--budget",
                                     std::to_string(budget.budgetBytes),
                                     std::to_string(budget.fixedBytes),
                                     std::to_string(budget.bytesPerPixel),
                                     std::to_string(budget.blockWidth),
                                     std::to_string(budget.blockHeight),
                                     std::to_string(budget.bytesPerBlockPixel),
                                     "--name",
                                     name.empty() ? std::string("picture") : name};
    std::vector<std::string> env = childEnvironment(folder.path());
    std::vector<char*> argv = pointers(args), envp = pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorsOut.get(), 2);
    posix_spawn_file_actions_adddup2(&actions, input.get(), 3);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), 4);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    theirs.reset();
    errorsOut.reset();
    input.reset();
    if (spawned != 0)
        return Status::failure(core::StatusCode::NoReader, "The reader program cannot start.");

    // Wait for the reply, the reader's end, the time limit or a stop, keeping its stderr drained.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(2 * uint64_t(seconds) + 5);
    ChildOutcome outcome;
    std::string keptErrors;
    bool socketOpen = true, errorsOpen = true;
    while (socketOpen) {
        const auto now = Clock::now();
        if (now >= deadline) {
            outcome.timedOut = true;
            break;
        }
        if (settings.keepWaiting && !settings.keepWaiting()) {
            outcome.cancelled = true;
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        pollfd watched[2] = {{ours.get(), POLLIN, 0}, {errorsIn.get(), POLLIN, 0}};
        const int ready =
            ::poll(watched, errorsOpen ? 2 : 1, int(std::min<int64_t>(left.count() + 1, 50)));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (errorsOpen && watched[1].revents) {
            char chunk[16384];
            const ssize_t n = ::read(errorsIn.get(), chunk, sizeof chunk);
            if (n > 0 && keptErrors.size() < kKeptErrorBytes)
                keptErrors.append(chunk, std::min<std::size_t>(
                                             std::size_t(n), kKeptErrorBytes - keptErrors.size()));
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) errorsOpen = false;
        }
        if (watched[0].revents) {
            receiveReply(ours.get(), outcome);
            socketOpen = false;
        }
    }
    // A reader that closed its end without a reply is ending by itself: its way out (a signal,
    // an exit) tells why. Otherwise it has nothing more to say and ends now.
    bool reaped = false;
    if (outcome.reply.empty() && !outcome.timedOut && !outcome.cancelled) {
        for (;;) {
            const pid_t done = ::waitpid(child, &outcome.waitStatus, WNOHANG);
            reaped = done == child;
            if (reaped || (done < 0 && errno != EINTR)) break;
            if (Clock::now() >= deadline) {
                outcome.timedOut = true;
                break;
            }
            ::usleep(2000);
        }
    }
    if (!reaped) {
        ::kill(child, SIGKILL);
        while (::waitpid(child, &outcome.waitStatus, 0) < 0 && errno == EINTR) {
        }
    }
    // What the reader wrote just before it ended is still in the pipe: take what is there now,
    // without waiting (a program it started may still hold the pipe open).
    while (errorsOpen && keptErrors.size() < kKeptErrorBytes) {
        pollfd watched{errorsIn.get(), POLLIN, 0};
        if (::poll(&watched, 1, 0) <= 0) break;
        char chunk[4096];
        const ssize_t n = ::read(errorsIn.get(), chunk, sizeof chunk);
        if (n <= 0) break;
        keptErrors.append(
            chunk, std::min<std::size_t>(std::size_t(n), kKeptErrorBytes - keptErrors.size()));
    }
    Status status;
    if (outcome.reply.empty() || outcome.timedOut || outcome.cancelled) {
        status = childFailure(outcome);
    } else {
        const ByteSpan reply{outcome.reply.data(), outcome.reply.size()};
        status = acceptReply(reply, outcome.memoryFile.release(), request.limits, out);
    }
    if (status.ok())
        out.info.filePath = path;
    else if (!outcome.cancelled)
        status.detail = firstMeaningfulLine(keptErrors);
    return status;
}

} // namespace velanox::codec
