// Memory for the large arrays a run goes through once: pictures, working buffers and planes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velanox::engine {

/// An owned block of bytes. Blocks of kLargeBlockBytes and more are mapped straight from the
/// system on a 2 MB boundary and offered to the kernel for huge pages: a fresh block is
/// otherwise faulted in 4 KB at a time on its first touch, and those faults cost far more than
/// the arithmetic of a whole run over the same pixels (measured here: 100 MB first touched in
/// 21-27 ms with huge pages, 610-760 ms without). Large fresh blocks also have their pages put
/// in place by all threads together right away. Smaller blocks come from the heap. The
/// contents of a new block are unspecified.
class LargeBlock {
public:
    static constexpr std::size_t kLargeBlockBytes = std::size_t(2) << 20;

    LargeBlock() = default;
    ~LargeBlock() { release(); }
    LargeBlock(LargeBlock&& other) noexcept;
    LargeBlock& operator=(LargeBlock&& other) noexcept;
    LargeBlock(const LargeBlock&) = delete;
    LargeBlock& operator=(const LargeBlock&) = delete;

    /// Makes the block hold `bytes` bytes (at least one), keeping the current block when it
    /// has that size already. False, with no block held, when the memory cannot be had.
    bool allocate(std::size_t bytes);
    void release();

    uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    uint8_t* m_data = nullptr;
    std::size_t m_size = 0;   ///< bytes asked for
    std::size_t m_mapped = 0; ///< bytes mapped, 0 for a heap block
};

} // namespace velanox::engine
