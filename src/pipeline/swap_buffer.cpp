#include "pipeline/swap_buffer.h"

#include "pipeline/run_observer.h"

#include <new>

#include <sys/mman.h>

namespace velanox::pipeline {

bool SwapBuffer::allocate(std::size_t size, MessageSink* messages) {
    if (data_ != nullptr && size == size_) return true;
    release();
    if (size == 0) return true;

    if (size > threshold_ && size <= SIZE_MAX - kMappingSlack) {
        const std::size_t mapped = size + kMappingSlack;
        void* view =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (view != MAP_FAILED) {
            mapping_ = view;
            mappingSize_ = mapped;
            data_ = static_cast<uint8_t*>(view);
            size_ = size;
            return true;
        }
    }
    data_ = new (std::nothrow) uint8_t[size];
    if (data_ == nullptr) {
        if (messages != nullptr) messages->showMessage(run_text::kOutOfMemory);
        return false;
    }
    size_ = size;
    return true;
}

void SwapBuffer::release() {
    if (mapping_ != nullptr) {
        ::munmap(mapping_, mappingSize_);
    } else {
        delete[] data_;
    }
    mapping_ = nullptr;
    mappingSize_ = 0;
    data_ = nullptr;
    size_ = 0;
}

} // namespace velanox::pipeline
