// Reading a file whole and replacing a file safely.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velanox::codec {

/// Reads the whole file into out (at most kMaxFileBytes).
Status readWholeFile(const std::string& path, std::vector<uint8_t>& out);

/// Writes bytes to path without ever leaving a half-written or missing file: the bytes go to a
/// new file beside the target, are flushed to disk, take the permission bits of the file they
/// replace, and are renamed over it. A symbolic link is followed, so the file it names is
/// replaced. An existing file that is not writable is refused. On any failure the temporary
/// file is removed and the target is as it was.
Status writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace velanox::codec
