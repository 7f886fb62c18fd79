// The memory behind a picture's pixels: an engine::LargeBlock (large blocks mapped for huge
// pages), or a shared mapping of an anonymous memory file. The contained reader's child process
// allocates its pixels in memory files and hands the file of the finished picture to the program,
// which maps it: the pixels cross the process boundary without a copy.
#pragma once

#include "engine/large_block.h"

#include <cstddef>
#include <cstdint>

namespace velanox::image {

/// Where PixelStorage::allocate takes new blocks in this process.
enum class PixelPlace {
    Heap,       ///< the default: an engine::LargeBlock
    MemoryFile, ///< an anonymous memory file per block, mapped shared (the reader's child)
};

/// Sets where this process allocates pixel blocks from now on (blocks already made stay).
void setPixelPlace(PixelPlace place);
PixelPlace pixelPlace();

class PixelStorage {
public:
    PixelStorage() = default;
    ~PixelStorage() { reset(); }
    PixelStorage(PixelStorage&& other) noexcept;
    PixelStorage& operator=(PixelStorage&& other) noexcept;
    PixelStorage(const PixelStorage&) = delete;
    PixelStorage& operator=(const PixelStorage&) = delete;

    /// A block of bytes (at least 1) where this process allocates pixels; empty when the memory
    /// cannot be had. The contents are not initialised.
    static PixelStorage allocate(std::size_t bytes);

    /// Makes this hold `bytes` bytes (at least 1) where this process allocates pixels, keeping
    /// the current block when it is a heap block of that size already (its pages are in place).
    /// False, with no block held, when the memory cannot be had.
    bool reallocate(std::size_t bytes);

    /// Maps the first bytes of a memory file, readable and writable. The descriptor is not kept:
    /// the caller still owns it and may close it at once. Empty when the mapping fails.
    /// populate maps every page at once (for a file whose pages all hold pixels already: one
    /// call instead of a page fault per page).
    static PixelStorage mapMemoryFile(int fd, std::size_t bytes, bool populate = false);

    uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

    /// The memory file of a block allocated in a memory file, or -1 (a heap block, a mapping
    /// made by mapMemoryFile).
    int memoryFile() const { return m_fd; }

    /// Frees the block (and closes its memory file).
    void reset();

private:
    engine::LargeBlock m_heap; ///< the block when it is not a mapping of a memory file
    uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mappedBytes = 0; ///< > 0 for a mapping
    int m_fd = -1;
};

} // namespace velanox::image
