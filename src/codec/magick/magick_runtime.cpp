#include "codec/magick/magick_runtime.h"

#include <Magick++.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>
#include <unistd.h>

namespace velanox::codec::magick {

namespace {

// ImageMagick caps every limit set through its API at the value of the same name in the
// policy files it finds, and it looks in MAGICK_CONFIGURE_PATH first. A private policy file
// with only resource entries, found first while ImageMagick starts, makes our limits the
// ones that count.
constexpr const char* kPolicy = R"(<?xml version="1.0" encoding="UTF-8"?>
<policymap>
  <policy domain="resource" name="memory" value="2GiB"/>
  <policy domain="resource" name="map" value="4GiB"/>
  <policy domain="resource" name="disk" value="8GiB"/>
  <policy domain="resource" name="width" value="65500"/>
  <policy domain="resource" name="height" value="65500"/>
  <policy domain="resource" name="area" value="400MP"/>
</policymap>
)";

bool start() {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path folder = fs::temp_directory_path(error);
    if (error) folder = "/tmp";
    folder /= "velanox-magick-" + std::to_string(::getpid());
    bool policyWritten = false;
    if (fs::create_directories(folder, error) || fs::is_directory(folder, error)) {
        std::ofstream file(folder / "policy.xml", std::ios::trunc);
        file << kPolicy;
        policyWritten = bool(file);
    }
    const char* previous = std::getenv("MAGICK_CONFIGURE_PATH");
    const std::string saved = previous ? previous : "";
    if (policyWritten) {
        const std::string path = previous ? folder.string() + ":" + saved : folder.string();
        ::setenv("MAGICK_CONFIGURE_PATH", path.c_str(), 1);
    }
    bool ok = true;
    try {
        Magick::InitializeMagick(nullptr);
        using Limits = Magick::ResourceLimits;
        Limits::memory(MagickCore::MagickSizeType(2) << 30);
        Limits::map(MagickCore::MagickSizeType(4) << 30);
        Limits::disk(MagickCore::MagickSizeType(8) << 30);
        Limits::width(65500);
        Limits::height(65500);
        Limits::area(MagickCore::MagickSizeType(400) * 1000 * 1000);
    } catch (...) {
        ok = false;
    }
    if (policyWritten) {
        if (previous)
            ::setenv("MAGICK_CONFIGURE_PATH", saved.c_str(), 1);
        else
            ::unsetenv("MAGICK_CONFIGURE_PATH");
        fs::remove_all(folder, error);
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
