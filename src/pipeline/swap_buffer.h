// SwapBuffer: a resizable memory block for large pixel arrays, on the heap up to a threshold and
// in an anonymous memory mapping above it, so that very large pictures do not exhaust the heap.
#pragma once

#include "engine/large_block.h"

#include <cstddef>
#include <cstdint>

namespace velanox {

class MessageSink;

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
    void setThreshold(std::size_t bytes) { threshold_ = bytes; }
    std::size_t threshold() const { return threshold_; }

    /// Makes the block hold size bytes. The size already held keeps the block and its contents.
    /// Otherwise the old block is released; a size up to the threshold comes from the heap, a
    /// larger one from a mapping of size + kMappingSlack bytes, or from the heap when no mapping
    /// can be made. (Heap blocks of 2 MB and more are mapped too, by engine::LargeBlock.) Without
    /// memory, "Out of memory" goes to messages (when given) and the result is false with no block
    /// held. A size of 0 releases the block and succeeds.
    bool allocate(std::size_t size, MessageSink* messages = nullptr);

    /// Unmaps a mapping or frees a heap block.
    void release();

    uint8_t* data() { return block_.data(); }
    const uint8_t* data() const { return block_.data(); }
    std::size_t size() const { return size_; }
    bool isMapped() const { return mapped_; }

private:
    std::size_t threshold_ = kDefaultThreshold;
    engine::LargeBlock block_;
    std::size_t size_ = 0;
    bool mapped_ = false; ///< a mapping of size_ + kMappingSlack bytes, rather than a heap block
};

} // namespace velanox
