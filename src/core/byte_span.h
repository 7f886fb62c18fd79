// ByteSpan: bytes to read from (a file read whole, a fuzzer's buffer, a profile), not owned.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velanox::core {

struct ByteSpan {
    const uint8_t* data = nullptr;
    std::size_t size = 0;
};

} // namespace velanox::core
