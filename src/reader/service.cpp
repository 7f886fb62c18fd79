#include "reader/service.h"

#include "codec/contained_reader_protocol.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velanox::reader {

namespace {

using codec::kMaxRequestBytes;
using codec::kRequestDescriptors;
using codec::Report;
using codec::ReportKind;

struct Child {
    pid_t pid = -1;
    int pidfd = -1;  ///< readable once the child has ended
    int report = -1; ///< the program's report socket; -1 once it gave up and the child was killed
};

void closeAll(const std::vector<int>& fds) {
    for (const int fd : fds)
        ::close(fd);
}

void sendReport(int socket, ReportKind kind, int32_t value) {
    const Report report{kind, value};
    ssize_t n;
    do {
        n = ::send(socket, &report, sizeof report, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
}

// In the forked child: the request's descriptors become 2, 3 and 4, everything else the
// service holds (the control socket, the other children's sockets) is closed, and the child
// ends with the service.
[[noreturn]] void runChild(pid_t service, const int fds[kRequestDescriptors],
                           std::vector<std::string>& arguments, ReadOne readOne) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != service) ::_exit(1);
    // Received descriptors are above 4 (the service keeps 0 to 4 taken), so none is overwritten.
    if (::dup2(fds[codec::RequestErrors], 2) < 0 || ::dup2(fds[codec::RequestFile], 3) < 0 ||
        ::dup2(fds[codec::RequestReply], 4) < 0)
        ::_exit(1);
    ::syscall(SYS_close_range, 5u, ~0u, 0u);
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::_exit(readOne(int(arguments.size()), argv.data()));
}

// Takes one request from the control socket and starts its child. False when the program has
// closed the control socket (or it failed): the service ends.
bool acceptRequest(int control, ReadOne readOne, std::vector<Child>& children) {
    std::vector<char> body(kMaxRequestBytes + 1);
    iovec io{body.data(), body.size()};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int) * kRequestDescriptors)];
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = space;
    message.msg_controllen = sizeof space;
    const ssize_t n = ::recvmsg(control, &message, MSG_CMSG_CLOEXEC);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    std::vector<int> fds;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            fds.push_back(fd);
        }
    }
    if (n == 0) {
        closeAll(fds);
        return false;
    }
    // A malformed request is dropped: the program sees its sockets close without a word.
    if ((message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) || fds.size() != kRequestDescriptors ||
        body[std::size_t(n) - 1] != '\0') {
        closeAll(fds);
        return true;
    }
    std::vector<std::string> arguments = {"velanox-nr-reader"};
    for (std::size_t start = 0; start < std::size_t(n);) {
        const std::size_t end = std::strlen(body.data() + start);
        arguments.emplace_back(body.data() + start, end);
        start += end + 1;
    }
    const pid_t service = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) runChild(service, fds.data(), arguments, readOne);
    const int report = fds[codec::RequestReport];
    fds.pop_back();
    closeAll(fds);
    if (pid < 0) {
        ::close(report);
        return true;
    }
    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0u));
    if (pidfd < 0) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        ::close(report);
        return true;
    }
    ::fcntl(pidfd, F_SETFD, FD_CLOEXEC);
    sendReport(report, codec::ReportStarted, pid);
    children.push_back({pid, pidfd, report});
    return true;
}

} // namespace

int serve(int control, ReadOne readOne) {
    // Descriptors 0 to 4 stay taken (what the child's become), so that whatever arrives lands
    // above them; nothing else inherited stays open.
    for (int fd = 0; fd <= 4; ++fd)
        if (fd != control && ::fcntl(fd, F_GETFD) < 0) ::open("/dev/null", O_RDWR);
    ::syscall(SYS_close_range, 5u, ~0u, 0u);
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_CORE, &none) != 0 || ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        return 1;

    std::vector<Child> children;
    std::vector<pollfd> watched;
    for (;;) {
        watched.assign(1, pollfd{control, POLLIN, 0});
        for (const Child& c : children) {
            watched.push_back({c.pidfd, POLLIN, 0});
            watched.push_back({c.report, POLLIN, 0}); // -1: not watched
        }
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        // Children first: their entries match the poll's, before a new child is added.
        for (std::size_t i = 0; i < children.size();) {
            Child& c = children[i];
            const pollfd& ended = watched[1 + 2 * i];
            const pollfd& program = watched[2 + 2 * i];
            // Whatever the program sends or its hang-up means it gave up on the read.
            if (c.report >= 0 && program.revents) {
                ::kill(c.pid, SIGKILL);
                ::close(c.report);
                c.report = -1;
            }
            int status = 0;
            const pid_t reaped = ended.revents ? ::waitpid(c.pid, &status, WNOHANG) : 0;
            if (reaped == c.pid || (reaped < 0 && errno == ECHILD)) {
                if (c.report >= 0) {
                    sendReport(c.report, codec::ReportEnded, status);
                    ::close(c.report);
                }
                ::close(c.pidfd);
                children.erase(children.begin() + std::ptrdiff_t(i));
                watched.erase(watched.begin() + std::ptrdiff_t(1 + 2 * i),
                              watched.begin() + std::ptrdiff_t(3 + 2 * i));
                continue;
            }
            ++i;
        }
        if (watched[0].revents && !acceptRequest(control, readOne, children)) break;
    }
    // The program has gone: its children go too.
    for (const Child& c : children) {
        ::kill(c.pid, SIGKILL);
        while (::waitpid(c.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    return 0;
}

} // namespace velanox::reader
