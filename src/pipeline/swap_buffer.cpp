#include "pipeline/swap_buffer.h"

#include "pipeline/run_observer.h"

namespace velanox::pipeline {

std::size_t bufferBytes(int32_t width, int32_t height, std::size_t bytesPerPixel) {
    if (width <= 0 || height <= 0 || bytesPerPixel == 0) return 0;
    const std::size_t w = std::size_t(width), h = std::size_t(height);
    if (w > SIZE_MAX / bytesPerPixel / h) return 0;
    return w * h * bytesPerPixel;
}

bool SwapBuffer::allocate(std::size_t size, MessageSink* messages) {
    if (m_block && size == m_size) return true;
    release();
    if (size == 0) return true;

    // Both kinds of block come from engine::LargeBlock, which maps large blocks straight from
    // the system with huge pages offered, so a fresh buffer's first touch is cheap either way.
    if (size > m_threshold && size <= SIZE_MAX - kMappingSlack &&
        m_block.allocate(size + kMappingSlack)) {
        m_mapped = true;
        m_size = size;
        return true;
    }
    if (!m_block.allocate(size)) {
        if (messages != nullptr) messages->showMessage(run_text::kOutOfMemory);
        return false;
    }
    m_size = size;
    return true;
}

void SwapBuffer::release() {
    m_block.release();
    m_mapped = false;
    m_size = 0;
}

} // namespace velanox::pipeline
