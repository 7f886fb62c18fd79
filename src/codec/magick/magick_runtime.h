// One-time start of ImageMagick for the codec layer, with resource limits chosen here.
#pragma once

namespace velanox::codec::magick {

/// Starts ImageMagick once per process (thread-safe) with this program's resource limits:
/// memory 2 GiB, map 4 GiB, disk 8 GiB, 65500 pixels wide or high, 400 megapixels. The limits
/// of the system's policy file would otherwise cap them (Debian's allows 16000 pixels and
/// 128 megapixels); its coder and path rules still apply. Returns false if it cannot start.
bool ensureMagick();

} // namespace velanox::codec::magick
