#include "image/pixel_storage.h"

#include <atomic>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace velanox::image {

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
    : m_heap(std::move(other.m_heap)), m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)), m_mappedBytes(std::exchange(other.m_mappedBytes, 0)),
      m_fd(std::exchange(other.m_fd, -1)) {}

PixelStorage& PixelStorage::operator=(PixelStorage&& other) noexcept {
    if (this != &other) {
        reset();
        m_heap = std::move(other.m_heap);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mappedBytes = std::exchange(other.m_mappedBytes, 0);
        m_fd = std::exchange(other.m_fd, -1);
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
        block.m_fd = fd;
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
    if (m_mappedBytes != 0 || m_fd >= 0) reset(); // a memory file is not reused as a heap block
    if (!m_heap.allocate(bytes)) {
        reset();
        return false;
    }
    m_data = m_heap.data();
    m_size = bytes;
    return true;
}

PixelStorage PixelStorage::mapMemoryFile(int fd, std::size_t bytes, bool populate) {
    PixelStorage block;
    if (fd < 0 || bytes == 0) return block;
    void* view = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_SHARED | (populate ? MAP_POPULATE : 0), fd, 0);
    if (view == MAP_FAILED) return block;
    block.m_data = static_cast<uint8_t*>(view);
    block.m_size = bytes;
    block.m_mappedBytes = bytes;
    return block;
}

void PixelStorage::reset() {
    if (m_mappedBytes != 0) ::munmap(m_data, m_mappedBytes);
    m_heap.release();
    if (m_fd >= 0) ::close(m_fd);
    m_data = nullptr;
    m_size = 0;
    m_mappedBytes = 0;
    m_fd = -1;
}

} // namespace velanox::image
