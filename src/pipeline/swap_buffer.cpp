#include "pipeline/swap_buffer.h"

#include "pipeline/run_observer.h"

#include <new>

#include <sys/mman.h>

namespace velanox::pipeline {

std::size_t bufferBytes(int32_t width, int32_t height, std::size_t bytesPerPixel) {
    if (width <= 0 || height <= 0 || bytesPerPixel == 0) return 0;
    const std::size_t w = std::size_t(width), h = std::size_t(height);
    if (w > SIZE_MAX / bytesPerPixel / h) return 0;
    return w * h * bytesPerPixel;
}

bool SwapBuffer::allocate(std::size_t size, MessageSink* messages) {
    if (m_data != nullptr && size == m_size) return true;
    release();
    if (size == 0) return true;

    if (size > m_threshold && size <= SIZE_MAX - kMappingSlack) {
        const std::size_t mapped = size + kMappingSlack;
        void* view =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (view != MAP_FAILED) {
            m_mapping = view;
            m_mappingSize = mapped;
            m_data = static_cast<uint8_t*>(view);
            m_size = size;
            return true;
        }
    }
    m_data = new (std::nothrow) uint8_t[size];
    if (m_data == nullptr) {
        if (messages != nullptr) messages->showMessage(run_text::kOutOfMemory);
        return false;
    }
    m_size = size;
    return true;
}

void SwapBuffer::release() {
    if (m_mapping != nullptr) {
        ::munmap(m_mapping, m_mappingSize);
    } else {
        delete[] m_data;
    }
    m_mapping = nullptr;
    m_mappingSize = 0;
    m_data = nullptr;
    m_size = 0;
}

} // namespace velanox::pipeline
