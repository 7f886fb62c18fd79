#include "codec/pixel_storage.h"

#include <atomic>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace velanox::codec {

namespace {

std::atomic<PixelPlace> g_place{PixelPlace::Heap};

} // namespace

void setPixelPlace(PixelPlace place) {
    g_place.store(place, std::memory_order_relaxed);
}

PixelPlace pixelPlace() {
    return g_place.load(std::memory_order_relaxed);
}

PixelStorage::PixelStorage(PixelStorage&& other) noexcept
    : heap_(std::move(other.heap_)), data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)), mappedBytes_(std::exchange(other.mappedBytes_, 0)),
      fd_(std::exchange(other.fd_, -1)) {}

PixelStorage& PixelStorage::operator=(PixelStorage&& other) noexcept {
    if (this != &other) {
        reset();
        heap_ = std::move(other.heap_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mappedBytes_ = std::exchange(other.mappedBytes_, 0);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

PixelStorage PixelStorage::allocate(std::size_t bytes) {
    PixelStorage block;
    if (bytes == 0) bytes = 1;
    if (pixelPlace() == PixelPlace::MemoryFile) {
        const int fd = ::memfd_create("velanox-pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (fd < 0) return block;
        if (::ftruncate(fd, off_t(bytes)) != 0) {
            ::close(fd);
            return block;
        }
        block = mapMemoryFile(fd, bytes);
        if (!block) {
            ::close(fd);
            return block;
        }
        block.fd_ = fd;
        return block;
    }
    block.reallocate(bytes);
    return block;
}

bool PixelStorage::reallocate(std::size_t bytes) {
    if (bytes == 0) bytes = 1;
    if (pixelPlace() == PixelPlace::MemoryFile) {
        *this = allocate(bytes);
        return bool(*this);
    }
    if (mappedBytes_ != 0 || fd_ >= 0) reset(); // a memory file is not reused as a heap block
    if (!heap_.allocate(bytes)) {
        reset();
        return false;
    }
    data_ = heap_.data();
    size_ = bytes;
    return true;
}

PixelStorage PixelStorage::mapMemoryFile(int fd, std::size_t bytes, bool populate) {
    PixelStorage block;
    if (fd < 0 || bytes == 0) return block;
    void* view = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_SHARED | (populate ? MAP_POPULATE : 0), fd, 0);
    if (view == MAP_FAILED) return block;
    block.data_ = static_cast<uint8_t*>(view);
    block.size_ = bytes;
    block.mappedBytes_ = bytes;
    return block;
}

void PixelStorage::reset() {
    if (mappedBytes_ != 0) ::munmap(data_, mappedBytes_);
    heap_.release();
    if (fd_ >= 0) ::close(fd_);
    data_ = nullptr;
    size_ = 0;
    mappedBytes_ = 0;
    fd_ = -1;
}

} // namespace velanox::codec
