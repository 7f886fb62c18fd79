#include "pipeline/swap_buffer.h"

#include "pipeline/run_observer.h"

namespace velanox {

bool SwapBuffer::allocate(std::size_t size, MessageSink* messages) {
    if (block_ && size == size_) return true;
    release();
    if (size == 0) return true;

    // Both kinds of block come from engine::LargeBlock, which maps large blocks straight from
    // the system with huge pages offered, so a fresh buffer's first touch is cheap either way.
    if (size > threshold_ && size <= SIZE_MAX - kMappingSlack &&
        block_.allocate(size + kMappingSlack)) {
        mapped_ = true;
        size_ = size;
        return true;
    }
    if (!block_.allocate(size)) {
        if (messages != nullptr) messages->showMessage(run_text::kOutOfMemory);
        return false;
    }
    size_ = size;
    return true;
}

void SwapBuffer::release() {
    block_.release();
    mapped_ = false;
    size_ = 0;
}

} // namespace velanox
