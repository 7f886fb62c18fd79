// One-time start of ImageMagick for the codec layer, with resource limits chosen here.
#pragma once

#include <cstdint>
#include <string>

namespace velanox::codec::magick {

/// The resource limits ImageMagick runs under.
struct MagickLimits {
    uint64_t memoryBytes = 0; ///< pixel caches in memory; 0: half the machine's memory
    uint32_t seconds = 0;     ///< a read's time; 0: none (ImageMagick ends the process beyond it)
};

/// The policy file that sets the limits: the memory given, no memory-mapped or disk cache at all
/// (a picture beyond the memory limit is refused instead of spilling gigabytes to a temporary
/// file), 65500 pixels wide or high, 400 megapixels, and the time when given.
std::string policyText(const MagickLimits& limits);

/// Sets the limits before ImageMagick starts. With policyFolder given, the policy file was
/// written there (policyText) by whoever prepared this process, and MAGICK_CONFIGURE_PATH names
/// it: nothing is written at start (the contained reader cannot write files).
void configureMagick(const MagickLimits& limits, const std::string& policyFolder = {});

/// What configureMagick set (the ImageMagick module reads them when it starts the library).
const MagickLimits& configuredMagickLimits();
const std::string& configuredPolicyFolder();

/// Half the machine's memory: ImageMagick's memory limit when none is given.
uint64_t halfTheMemory();

/// Starts ImageMagick once per process (thread-safe) with this program's resource limits. The
/// limits of the system's policy file would otherwise cap them (Debian's allows 16000 pixels
/// and 128 megapixels); its coder and path rules still apply. Returns false if it cannot start.
bool ensureMagick();

} // namespace velanox::codec::magick
