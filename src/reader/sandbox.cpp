#include "reader/sandbox.h"

#include <seccomp.h>

#include <cerrno>
#include <initializer_list>

#include <fcntl.h>
#include <linux/close_range.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velanox::reader {

bool limitResources(uint32_t cpuSeconds, uint64_t addressSpaceBytes) {
    ::syscall(SYS_close_range, 5u, ~0u, 0u);
    const rlimit cpu{rlim_t(cpuSeconds), rlim_t(cpuSeconds) + 1};
    const rlimit none{0, 0};
#if defined(__SANITIZE_ADDRESS__)
    // The sanitiser's shadow memory takes terabytes of address space: no limit can be set.
    (void)addressSpaceBytes;
    const bool spaceLimited = true;
#else
    const rlimit space{rlim_t(addressSpaceBytes), rlim_t(addressSpaceBytes)};
    const bool spaceLimited = ::setrlimit(RLIMIT_AS, &space) == 0;
#endif
    return ::setrlimit(RLIMIT_CPU, &cpu) == 0 && spaceLimited &&
           ::setrlimit(RLIMIT_CORE, &none) == 0 && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
}

bool installSystemCallFilter() {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!filter) return false;
    bool ok = true;
    const auto allow = [&](int call) {
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
    };
    for (int call :
         {// memory
          SCMP_SYS(brk), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect),
          SCMP_SYS(madvise), SCMP_SYS(mincore), SCMP_SYS(membarrier),
          // threads and waiting
          SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list), SCMP_SYS(rseq),
          SCMP_SYS(set_tid_address), SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity),
          SCMP_SYS(sched_setaffinity), SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep),
          SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(time),
          SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(getpid), SCMP_SYS(gettid),
          SCMP_SYS(getppid), SCMP_SYS(getuid), SCMP_SYS(geteuid), SCMP_SYS(getgid),
          SCMP_SYS(getegid), SCMP_SYS(getrlimit), SCMP_SYS(prlimit64), SCMP_SYS(getrusage),
          SCMP_SYS(times), SCMP_SYS(sysinfo), SCMP_SYS(uname), SCMP_SYS(getrandom),
          SCMP_SYS(getcwd), SCMP_SYS(getpriority),
          // signals of its own (abort, the CPU limit)
          SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn),
          SCMP_SYS(sigaltstack),
          // reading what it already has open, and files for reading (ImageMagick's
          // configuration and coder modules, fonts)
          SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(lseek),
          SCMP_SYS(fadvise64), SCMP_SYS(fstat), SCMP_SYS(newfstatat), SCMP_SYS(statx),
          SCMP_SYS(stat), SCMP_SYS(lstat), SCMP_SYS(fstatfs), SCMP_SYS(statfs), SCMP_SYS(access),
          SCMP_SYS(faccessat), SCMP_SYS(faccessat2), SCMP_SYS(readlink), SCMP_SYS(readlinkat),
          SCMP_SYS(getdents64), SCMP_SYS(close), SCMP_SYS(fcntl), SCMP_SYS(dup), SCMP_SYS(ioctl),
          // stderr, the reply and its memory file
          SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(sendmsg), SCMP_SYS(memfd_create),
          SCMP_SYS(ftruncate), SCMP_SYS(pwrite64)})
        allow(call);
#if defined(__SANITIZE_ADDRESS__)
    // The sanitisers find out whether memory can be read by writing it into a pipe of their own.
    for (int call : {SCMP_SYS(pipe), SCMP_SYS(pipe2)})
        allow(call);
#endif
    // Opening files for reading only: no writing, creating or truncating.
    // (O_TMPFILE includes O_DIRECTORY, which reading a folder needs: only its own bit counts.)
    const scmp_datum_t writing =
        O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND | (O_TMPFILE & ~O_DIRECTORY);
    ok = ok &&
         seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(openat), 1,
                          SCMP_A2(SCMP_CMP_MASKED_EQ, writing, 0)) == 0 &&
         seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(open), 1,
                          SCMP_A1(SCMP_CMP_MASKED_EQ, writing, 0)) == 0;
    // Threads (the engine's pool, the JPEG decode's second band, ImageMagick), never processes.
    // clone3 cannot be inspected: refusing it with ENOSYS makes the C library fall back to clone.
    ok = ok &&
         seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                          SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0 &&
         seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    // Signals to itself only (abort raises SIGABRT through tgkill).
    ok = ok &&
         seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1,
                          SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(::getpid()))) == 0 &&
         seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(kill), 1,
                          SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(::getpid()))) == 0;
    ok = ok && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return ok;
}

} // namespace velanox::reader
