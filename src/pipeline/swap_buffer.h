// SwapBuffer: a resizable memory block for large pixel arrays, on the heap up to a threshold and
// in an anonymous memory mapping above it, so that very large pictures do not exhaust the heap.
#pragma once

#include "engine/large_block.h"

#include <cstddef>
#include <cstdint>

namespace velanox::pipeline {

class MessageSink;

/// Bytes held by a width x height buffer of the given bytes per pixel, or 0 when the size does
/// not fit into size_t (or a side is not positive).
std::size_t bufferBytes(int32_t width, int32_t height, std::size_t bytesPerPixel);

class SwapBuffer {
public:
    static constexpr std::size_t kDefaultThreshold = 6750000;
    /// Extra bytes every mapping holds beyond the size asked for.
    static constexpr std::size_t kMappingSlack = 6000;

    SwapBuffer() = default;
    ~SwapBuffer() { release(); }
    SwapBuffer(const SwapBuffer&) = delete;
    SwapBuffer& operator=(const SwapBuffer&) = delete;

    /// Largest size in bytes kept on the heap.
    void setThreshold(std::size_t bytes) { m_threshold = bytes; }
    std::size_t threshold() const { return m_threshold; }

    /// Makes the block hold size bytes. The size already held keeps the block and its contents.
    /// Otherwise the old block is released; a size up to the threshold comes from the heap, a
    /// larger one from a mapping of size + kMappingSlack bytes, or from the heap when no mapping
    /// can be made. (Heap blocks of 2 MB and more are mapped too, by engine::LargeBlock.) Without
    /// memory, "Out of memory" goes to messages (when given) and the result is false with no block
    /// held. A size of 0 releases the block and succeeds.
    bool allocate(std::size_t size, MessageSink* messages = nullptr);

    /// Unmaps a mapping or frees a heap block.
    void release();

    uint8_t* data() { return m_block.data(); }
    const uint8_t* data() const { return m_block.data(); }
    std::size_t size() const { return m_size; }
    bool isMapped() const { return m_mapped; }

private:
    std::size_t m_threshold = kDefaultThreshold;
    engine::LargeBlock m_block;
    std::size_t m_size = 0;
    bool m_mapped = false; ///< a mapping of m_size + kMappingSlack bytes, rather than a heap block
};

} // namespace velanox::pipeline
