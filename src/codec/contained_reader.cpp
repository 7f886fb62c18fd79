#include "codec/contained_reader.h"

#include "codec/contained_reader_protocol.h"
#include "codec/magick/magick_runtime.h"
#include "codec/reader_reply.h"
#include "files/file_io.h"
#include "image/pixel_storage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
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

constexpr const char* kFolderPrefix = "velanox-reader-";

// Whether name is one of the private folders' names: the prefix, this host's tag, the process
// that made it and six random characters.
bool isPrivateFolderName(const std::string& name, const std::string& host, long& pid) {
    if (name.rfind(kFolderPrefix, 0) != 0) return false;
    const std::string tail = name.substr(std::strlen(kFolderPrefix));
    char tag[9] = {}, random[8] = {}, extra = 0;
    return std::sscanf(tail.c_str(), "%8[0-9a-f]-%ld-%7[A-Za-z0-9]%c", tag, &pid, random, &extra) ==
               3 &&
           tag == host && std::strlen(random) == 6 && pid > 0;
}

// Removes the private folders of this host's processes that ended without removing theirs
// (killed during a read): owned by this user, older than a minute. Once per process and base.
void removeStaleFolders(const std::string& base) {
    static std::mutex lock;
    static std::set<std::string> cleaned;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!cleaned.insert(base).second) return;
    }
    DIR* dir = ::opendir(base.c_str());
    if (dir == nullptr) return;
    const std::string host = files::temporaryHostTag();
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        long pid = 0;
        if (!isPrivateFolderName(entry->d_name, host, pid) || !files::processHasEnded(pid))
            continue;
        const std::string path = base + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid() || now - info.st_mtime < 60)
            continue;
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    ::closedir(dir);
}

// A private folder for the reader's temporaries and its ImageMagick policy, removed with
// everything in it when the object ends. Its name carries this host and process, so that one
// left by a process that was killed is removed by the next one to make such a folder.
class PrivateFolder {
public:
    PrivateFolder() {
        std::error_code error;
        std::string base = std::filesystem::temp_directory_path(error).string();
        if (error || base.empty()) base = "/tmp";
        removeStaleFolders(base);
        std::string folder = base + "/" + kFolderPrefix + files::temporaryHostTag() + "-" +
                             std::to_string(long(::getpid())) + "-XXXXXX";
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

// The environment of the reader service: ours without the temporary and configuration
// folders (each child is given the private folder of its read).
std::vector<std::string> serviceEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("MAGICK_", 0) == 0 || entry.rfind("TMPDIR=", 0) == 0) continue;
        env.push_back(entry);
    }
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// The reader service of this process (codec/contained_reader_protocol.h): started on the
// first read, started again when it has ended (or hangs), ended with the process.
class ReaderService {
public:
    static ReaderService& instance() {
        static ReaderService service;
        return service;
    }

    // Sends one request with its descriptors; false when no service can take it.
    bool request(const std::string& program, const std::string& arguments,
                 const int (&fds)[kRequestDescriptors], pid_t& service) {
        std::lock_guard lock(m_mutex);
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (m_pid > 0 && m_program != program) stopLocked();
            if (m_pid > 0) {
                int status;
                if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                    m_pid = -1;
                    m_control.reset();
                }
            }
            if (m_pid < 0 && !startLocked(program)) return false;
            iovec io{const_cast<char*>(arguments.data()), arguments.size()};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof fds)] = {};
            msghdr message{};
            message.msg_iov = &io;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            cmsghdr* c = CMSG_FIRSTHDR(&message);
            c->cmsg_level = SOL_SOCKET;
            c->cmsg_type = SCM_RIGHTS;
            c->cmsg_len = CMSG_LEN(sizeof fds);
            std::memcpy(CMSG_DATA(c), fds, sizeof fds);
            ssize_t n;
            do {
                n = ::sendmsg(m_control.get(), &message, MSG_NOSIGNAL | MSG_DONTWAIT);
            } while (n < 0 && errno == EINTR);
            if (n == ssize_t(arguments.size())) {
                service = m_pid;
                return true;
            }
            // It has ended, or it takes no more requests (hundreds wait unread): a fresh one.
            stopLocked();
        }
        return false;
    }

    // Starts the service ahead of the first read.
    void prepare(const std::string& program) {
        std::lock_guard lock(m_mutex);
        if (m_pid < 0) startLocked(program);
    }

    pid_t process() {
        std::lock_guard lock(m_mutex);
        return m_pid;
    }

    void stop() {
        std::lock_guard lock(m_mutex);
        stopLocked();
    }

    // Stops the service if it is still the one given (another read may have replaced it).
    void stopIf(pid_t service) {
        std::lock_guard lock(m_mutex);
        if (m_pid == service) stopLocked();
    }

private:
    bool startLocked(const std::string& program) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
        files::UniqueFd ours = lifted(pair[0]), theirs = lifted(pair[1]);
        if (!ours || !theirs) return false;
        std::vector<std::string> args = {program, "--serve"};
        std::vector<std::string> env = serviceEnvironment();
        std::vector<char*> argv = pointers(args), envp = pointers(env);
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, theirs.get(), kServiceControlDescriptor);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        pid_t pid = -1;
        const int spawned =
            ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (spawned != 0) return false;
        m_pid = pid;
        m_program = program;
        m_control = std::move(ours);
        return true;
    }

    // Its children end with it (and the reads they were doing fail as stopped readers).
    void stopLocked() {
        m_control.reset();
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        m_pid = -1;
    }

    std::mutex m_mutex;
    std::string m_program;
    pid_t m_pid = -1;
    files::UniqueFd m_control;
};

struct ChildOutcome {
    std::vector<uint8_t> reply; ///< empty: none came
    files::UniqueFd memoryFile;
    bool timedOut = false, cancelled = false;
    bool started = false; ///< the service said the child runs
    pid_t child = -1;     ///< the child's process id, once started
    bool ended = false;   ///< the service said how it ended (waitStatus)
    int waitStatus = 0;
};

// Takes what the service says on the report socket; false once it has nothing more to say.
bool receiveReport(int socket, ChildOutcome& outcome) {
    Report report;
    ssize_t n;
    do {
        n = ::recv(socket, &report, sizeof report, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && errno == EAGAIN) return true;
    if (n != ssize_t(sizeof report)) return false;
    if (report.kind == ReportStarted) {
        outcome.started = true;
        outcome.child = pid_t(report.value);
    }
    if (report.kind == ReportEnded) {
        outcome.ended = true;
        outcome.waitStatus = report.value;
        return false;
    }
    return true;
}

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

// When a reader has taken too long. Its CPU limit ends a reader that computes too long; this
// clock ends one that waits (a lock never released, a read that never returns): past twice the
// CPU limit and 5 s of wall time, once it has had less than 50 ms of the processor in the last
// 5 s. A reader that works on a busy machine gets a smaller share of the processor and so more
// wall time, up to ten times that deadline.
using Clock = std::chrono::steady_clock;

class ReaderClock {
public:
    explicit ReaderClock(uint32_t cpuSeconds)
        : m_start(Clock::now()),
          m_idleDeadline(m_start + std::chrono::seconds(2 * uint64_t(cpuSeconds) + 5)),
          m_hardDeadline(m_start + 10 * (m_idleDeadline - m_start)), m_mark(m_start) {}

    // Follows the processor time of the reader the service started; until then (or when its
    // clock cannot be read) the clock ends the wait at the idle deadline.
    void watch(pid_t child) {
        m_watched = child > 0 && ::clock_getcpuclockid(child, &m_cpuClock) == 0;
        m_cpuMark = cpuTime();
        m_mark = Clock::now();
    }

    bool expired() {
        const Clock::time_point now = Clock::now();
        const Clock::duration cpu = cpuTime();
        if (cpu - m_cpuMark >= kBusyStep) {
            m_mark = now;
            m_cpuMark = cpu;
        }
        if (now >= m_hardDeadline) return true;
        return now >= m_idleDeadline && now - m_mark >= kIdleWindow;
    }

private:
    static constexpr Clock::duration kBusyStep = std::chrono::milliseconds(50);
    static constexpr Clock::duration kIdleWindow = std::chrono::seconds(5);

    Clock::duration cpuTime() const {
        timespec t{};
        if (!m_watched || ::clock_gettime(m_cpuClock, &t) != 0) return m_cpuMark;
        return std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(t.tv_sec) +
                                                           std::chrono::nanoseconds(t.tv_nsec));
    }

    Clock::time_point m_start, m_idleDeadline, m_hardDeadline, m_mark;
    clockid_t m_cpuClock{};
    bool m_watched = false;
    Clock::duration m_cpuMark{};
};

struct ReadAttempt {
    bool sent = false;  ///< the service took the request
    pid_t service = -1; ///< the service it went to
    ChildOutcome outcome;
    std::string keptErrors;
};

// Sends one request to the service and waits for the reply, the reader's end, the deadline or
// a stop, keeping the reader's stderr drained and taking what the service reports.
ReadAttempt attemptRead(const std::string& program, const std::string& arguments, int input,
                        const ContainedReading& settings, ReaderClock& clock) {
    ReadAttempt attempt;
    int pair[2], errors[2], reports[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return attempt;
    files::UniqueFd ours = lifted(pair[0]), theirs = lifted(pair[1]);
    if (::pipe2(errors, O_CLOEXEC) != 0) return attempt;
    files::UniqueFd errorsIn = lifted(errors[0]), errorsOut = lifted(errors[1]);
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, reports) != 0) return attempt;
    files::UniqueFd reportIn = lifted(reports[0]), reportOut = lifted(reports[1]);
    if (!ours || !theirs || !errorsIn || !errorsOut || !reportIn || !reportOut) return attempt;

    int fds[kRequestDescriptors];
    fds[RequestFile] = input;
    fds[RequestReply] = theirs.get();
    fds[RequestErrors] = errorsOut.get();
    fds[RequestReport] = reportOut.get();
    attempt.sent = ReaderService::instance().request(program, arguments, fds, attempt.service);
    if (!attempt.sent) return attempt;
    theirs.reset();
    errorsOut.reset();
    reportOut.reset();

    ChildOutcome& outcome = attempt.outcome;
    std::string& keptErrors = attempt.keptErrors;
    const auto keepErrors = [&keptErrors](const char* chunk, ssize_t n) {
        keptErrors.append(
            chunk, std::min<std::size_t>(std::size_t(n), kKeptErrorBytes - keptErrors.size()));
    };
    bool socketOpen = true, errorsOpen = true, reportOpen = true;
    // Until the reply comes, or, when the reader ended without one, until the service says how.
    while (socketOpen || (outcome.reply.empty() && reportOpen)) {
        if (clock.expired()) {
            outcome.timedOut = true;
            break;
        }
        if (settings.keepWaiting && !settings.keepWaiting()) {
            outcome.cancelled = true;
            break;
        }
        pollfd watched[3] = {{socketOpen ? ours.get() : -1, POLLIN, 0},
                             {reportOpen ? reportIn.get() : -1, POLLIN, 0},
                             {errorsOpen ? errorsIn.get() : -1, POLLIN, 0}};
        const int ready = ::poll(watched, 3, 50);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (watched[2].revents) {
            char chunk[16384];
            const ssize_t n = ::read(errorsIn.get(), chunk, sizeof chunk);
            if (n > 0) keepErrors(chunk, n);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) errorsOpen = false;
        }
        if (watched[1].revents) {
            const bool wasStarted = outcome.started;
            reportOpen = receiveReport(reportIn.get(), outcome);
            if (outcome.started && !wasStarted) clock.watch(outcome.child);
        }
        if (watched[0].revents) {
            receiveReply(ours.get(), outcome);
            socketOpen = false;
        }
    }
    // Closing the report socket ends the child if it still runs. A service that never said
    // the child started has not been taking requests: it is replaced.
    reportIn.reset();
    if (outcome.timedOut && !outcome.started) ReaderService::instance().stopIf(attempt.service);
    // What the reader wrote just before it ended is still in the pipe: take what is there now,
    // without waiting (a program it started may still hold the pipe open).
    while (errorsOpen && keptErrors.size() < kKeptErrorBytes) {
        pollfd watched{errorsIn.get(), POLLIN, 0};
        if (::poll(&watched, 1, 0) <= 0) break;
        char chunk[4096];
        const ssize_t n = ::read(errorsIn.get(), chunk, sizeof chunk);
        if (n <= 0) break;
        keepErrors(chunk, n);
    }
    return attempt;
}

Status childFailure(const ChildOutcome& outcome) {
    if (outcome.cancelled)
        return Status::failure(core::StatusCode::Cancelled, "Reading the file was stopped.");
    if (outcome.timedOut) return Status::failure(core::StatusCode::TooLarge, kReadTooLong);
    // Without the service's word (it ended too) nothing is known of how the child ended.
    if (!outcome.ended) return Status::failure(core::StatusCode::Corrupt, kReaderStopped);
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
    // The service starts while the program starts, on the other core if there is one.
    const ContainedReading& now = settingsStore();
    if (!now.enabled) return;
    const std::string program = now.readerProgram.empty() ? findReaderProgram() : now.readerProgram;
    if (!program.empty()) ReaderService::instance().prepare(program);
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
    // The child has written every page: they are mapped in one go.
    image::PixelStorage pixels =
        image::PixelStorage::mapMemoryFile(file.get(), reply.pixelBytes, true);
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

    const MemoryBudget& budget = request.limits.budget;
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    const std::vector<std::string> args = {"--cpu-seconds",
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
                                           name.empty() ? std::string("picture") : name,
                                           "--folder",
                                           folder.path()};
    std::string arguments;
    for (const std::string& a : args) {
        if (a.find('\0') != std::string::npos)
            return Status::failure(core::StatusCode::CannotOpen, "Bad name.");
        arguments += a;
        arguments += '\0';
    }
    if (arguments.size() > kMaxRequestBytes)
        return Status::failure(core::StatusCode::CannotOpen, "The file name is too long.");
    ReaderClock clock(seconds);
    ReadAttempt attempt = attemptRead(program, arguments, input.get(), settings, clock);
    // A service that ended before it took the request (killed, say, or ending just then): the
    // request goes once more, to a fresh one.
    if (attempt.sent && !attempt.outcome.started && !attempt.outcome.ended &&
        attempt.outcome.reply.empty() && !attempt.outcome.timedOut && !attempt.outcome.cancelled) {
        ReaderService::instance().stopIf(attempt.service);
        attempt = attemptRead(program, arguments, input.get(), settings, clock);
    }
    if (!attempt.sent)
        return Status::failure(core::StatusCode::NoReader, "The reader program cannot start.");
    ChildOutcome& outcome = attempt.outcome;
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
        status.detail = firstMeaningfulLine(attempt.keptErrors);
    return status;
}

pid_t readerServiceProcess() {
    return ReaderService::instance().process();
}

void stopReaderService() {
    ReaderService::instance().stop();
}

} // namespace velanox::codec
