#include "engine/large_block.h"

#include "engine/threads.h"

#include <cstdlib>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace velanox::engine {

namespace {

constexpr std::size_t kHugePage = LargeBlock::kLargeBlockBytes;

#ifdef __linux__
// Fresh blocks from this size on have their pages put in place by all threads together, before
// the first pass over them.
constexpr std::size_t kPopulatedBytes = std::size_t(16) << 20;

// Puts the pages of a fresh mapping in place, a run of 2 MB spans per thread at a time: one
// call per span instead of a fault per page on first touch, spread over the cores. Where the
// kernel cannot do that, one byte per page is written (the pages hold zeros already).
void populate(uint8_t* block, std::size_t bytes) {
    const int64_t spans = int64_t(bytes / kHugePage);
    const int threads = maxThreads();
    parallelFor(spans, runLength(spans, threads, 2), threads, [&](int64_t first, int64_t end, int) {
        uint8_t* begin = block + std::size_t(first) * kHugePage;
        const std::size_t length = std::size_t(end - first) * kHugePage;
#ifdef MADV_POPULATE_WRITE
        if (::madvise(begin, length, MADV_POPULATE_WRITE) == 0) return;
#endif
        for (std::size_t i = 0; i < length; i += 4096)
            static_cast<volatile uint8_t*>(begin)[i] = 0;
    });
}

// Maps `bytes` (a multiple of kHugePage) on a kHugePage boundary: the kernel can only back
// aligned 2 MB spans with huge pages, so the slack of an unaligned mapping is cut off again.
void* mapAligned(std::size_t bytes) {
    const std::size_t span = bytes + kHugePage;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    const std::size_t head = aligned - start, tail = span - head - bytes;
    if (head != 0) ::munmap(raw, head);
    if (tail != 0) ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(block, bytes, MADV_HUGEPAGE); // a hint: refused, the block works all the same
#endif
    return block;
}
#endif

} // namespace

LargeBlock::LargeBlock(LargeBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, 0)) {}

LargeBlock& LargeBlock::operator=(LargeBlock&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, 0);
    }
    return *this;
}

bool LargeBlock::allocate(std::size_t bytes) {
    if (bytes == 0) bytes = 1;
    if (m_data != nullptr && bytes == m_size) return true;
    release();
#ifdef __linux__
    if (bytes >= kHugePage && bytes <= SIZE_MAX - 2 * kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
        if (void* block = mapAligned(rounded)) {
            m_data = static_cast<uint8_t*>(block);
            m_size = bytes;
            m_mapped = rounded;
            if (rounded >= kPopulatedBytes) populate(m_data, rounded);
            return true;
        }
    }
#endif
    m_data = static_cast<uint8_t*>(std::malloc(bytes));
    if (m_data == nullptr) return false;
    m_size = bytes;
    return true;
}

void LargeBlock::release() {
    if (m_data == nullptr) return;
#ifdef __linux__
    if (m_mapped != 0) {
        ::munmap(m_data, m_mapped);
    } else {
        std::free(m_data);
    }
#else
    std::free(m_data);
#endif
    m_data = nullptr;
    m_size = 0;
    m_mapped = 0;
}

} // namespace velanox::engine
