// ImageMagick's limits as this program sets them: the policy text and the settings made before
// it starts. No ImageMagick call here: the contained reader and the batch tool set the limits
// in the core, the ImageMagick module reads them when it starts the library.
#include "codec/magick/magick_runtime.h"

#include <string>

#include <unistd.h>

namespace velanox::codec::magick {

namespace {

MagickLimits g_limits;
std::string g_policyFolder;

} // namespace

uint64_t halfTheMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return uint64_t(2) << 30;
    return uint64_t(pages) * uint64_t(pageSize) / 2;
}

std::string policyText(const MagickLimits& limits) {
    const uint64_t memory = limits.memoryBytes ? limits.memoryBytes : halfTheMemory();
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<policymap>\n";
    const auto entry = [&](const char* name, const std::string& value) {
        text += "  <policy domain=\"resource\" name=\"" + std::string(name) + "\" value=\"" +
                value + "\"/>\n";
    };
    entry("memory", std::to_string(memory) + "B");
    entry("map", "0");
    entry("disk", "0");
    entry("width", "65500");
    entry("height", "65500");
    entry("area", "400MP");
    if (limits.seconds) entry("time", std::to_string(limits.seconds));
    return text + "</policymap>\n";
}

void configureMagick(const MagickLimits& limits, const std::string& policyFolder) {
    g_limits = limits;
    g_policyFolder = policyFolder;
}

const MagickLimits& configuredMagickLimits() {
    return g_limits;
}

const std::string& configuredPolicyFolder() {
    return g_policyFolder;
}

} // namespace velanox::codec::magick
