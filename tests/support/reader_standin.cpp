// A stand-in for velanox-nr-reader in the tests: the real reader service (reader/service.h)
// whose children misbehave as the file's name says, so that the program's side meets every
// way a reader child can end. Any other name is read by the real reader.
#include "codec/contained_reader_protocol.h"
#include "reader/read_file.h"
#include "reader/sandbox.h"
#include "reader/service.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

void say(const char* text) {
    const std::size_t size = std::strlen(text);
    if (::write(2, text, size) != ssize_t(size)) ::_exit(9);
}

// Ends the child by a segmentation fault, as a crashing reader would, without the last words a
// sanitiser's own handler would print on the way.
[[noreturn]] void crash() {
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    ::_exit(9);
}

int misbehave(int argc, char** argv) {
    std::string name;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--name") == 0) name = argv[i + 1];
    name = name.substr(0, name.find('.'));
    using namespace velanox::reader;
    if (name == "crash") {
        limitResources(20, uint64_t(1) << 31);
        crash();
    } else if (name == "silent") {
        return 0;
    } else if (name == "flood") {
        const std::string chunk(65536, 'x');
        for (int i = 0; i < 64; ++i)
            if (::write(2, chunk.data(), chunk.size()) < 0) break;
        return 1;
    } else if (name == "spin") {
        // Until the CPU limit's signal ends it.
        limitResources(1, uint64_t(1) << 31);
        for (uint64_t i = 0;; ++i)
            asm volatile("" : "+r"(i));
    } else if (name == "sleep") {
        for (;;)
            ::pause();
    } else if (name == "busy") {
        // Works in short bursts past the wall-clock deadline, as a reader does that gets a
        // small share of a busy machine, then crashes.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(9);
        while (std::chrono::steady_clock::now() < end) {
            const auto burst = std::chrono::steady_clock::now() + std::chrono::milliseconds(80);
            while (std::chrono::steady_clock::now() < burst) {
            }
            ::usleep(500000);
        }
        crash();
    } else if (name == "memory") {
        // Says the address space it was given, and fails.
        for (int i = 1; i + 1 < argc; ++i)
            if (std::strcmp(argv[i], "--memory") == 0) {
                say("memory ");
                say(argv[i + 1]);
                say("\n");
            }
        return 1;
    } else if (name == "words") {
        say("\n   \n  decoder: bad huffman table  \nmore\n");
        return 3;
    } else if (name == "say") {
        // The file's own bytes are the reader's words.
        char text[4096];
        const ssize_t n = ::read(3, text, sizeof text);
        if (n > 0 && ::write(2, text, std::size_t(n)) != n) return 9;
        return 1;
    } else if (name == "thinking") {
        say("still thinking\n");
        for (;;)
            ::pause();
    } else if (name == "warn") {
        say("warning: odd chunk\n");
    } else if (name == "hostile") {
        // Filtered as the real reader is, it tries to end the service: refused.
        if (!limitResources(20, uint64_t(1) << 31) || !installSystemCallFilter()) return 7;
        const bool refused = ::kill(::getppid(), SIGKILL) != 0 &&
                             ::syscall(SYS_tgkill, ::getppid(), ::getppid(), SIGKILL) != 0;
        return refused ? 5 : 6;
    } else if (name == "service") {
        // Unfiltered, it ends the service under the read.
        ::kill(::getppid(), SIGKILL);
        for (;;)
            ::pause();
    }
    return readFile(argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--serve") == 0)
        return velanox::reader::serve(velanox::codec::kServiceControlDescriptor, misbehave);
    return 2;
}
