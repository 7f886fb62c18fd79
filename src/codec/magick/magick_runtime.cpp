#include "codec/magick/magick_runtime.h"

#include <Magick++.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace velanox::codec::magick {

namespace {

uint64_t memoryLimit() {
    const MagickLimits& limits = configuredMagickLimits();
    return limits.memoryBytes ? limits.memoryBytes : halfTheMemory();
}

// Writes the policy file into a new private folder; empty when it cannot.
std::string writePolicyFolder() {
    std::error_code error;
    std::string base = std::filesystem::temp_directory_path(error).string();
    if (error || base.empty()) base = "/tmp";
    std::string folder = base + "/velanox-magick-XXXXXX";
    if (!::mkdtemp(folder.data())) return {};
    const std::string file = folder + "/policy.xml";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const std::string text = policyText(configuredMagickLimits());
    const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size()) &&
                         ::close(fd) == 0;
    if (!written) {
        ::unlink(file.c_str());
        ::rmdir(folder.c_str());
        return {};
    }
    return folder;
}

// ImageMagick caps every limit set through its API at the value of the same name in the
// policy files it finds, and it looks in MAGICK_CONFIGURE_PATH first. A private policy file
// with only resource entries, found first while ImageMagick starts, makes our limits the
// ones that count.
bool start() {
    std::string folder = configuredPolicyFolder();
    const bool ownFolder = folder.empty();
    if (ownFolder) folder = writePolicyFolder();
    const char* previous = std::getenv("MAGICK_CONFIGURE_PATH");
    const std::string saved = previous ? previous : "";
    if (ownFolder && !folder.empty()) {
        const std::string path = previous ? folder + ":" + saved : folder;
        ::setenv("MAGICK_CONFIGURE_PATH", path.c_str(), 1);
    }
    bool ok = true;
    try {
        Magick::InitializeMagick(nullptr);
        using Limits = Magick::ResourceLimits;
        Limits::memory(MagickCore::MagickSizeType(memoryLimit()));
        Limits::map(0);
        Limits::disk(0);
        Limits::width(65500);
        Limits::height(65500);
        Limits::area(MagickCore::MagickSizeType(400) * 1000 * 1000);
    } catch (...) {
        ok = false;
    }
    if (ownFolder && !folder.empty()) {
        if (previous)
            ::setenv("MAGICK_CONFIGURE_PATH", saved.c_str(), 1);
        else
            ::unsetenv("MAGICK_CONFIGURE_PATH");
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    return ok;
}

} // namespace

bool ensureMagick() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = start(); });
    return started;
}

} // namespace velanox::codec::magick
