// Memory the engine keeps between calls, and the call that uses it.
#pragma once

#include "engine/large_block.h"
#include "engine/noise_reducer.h"

#include <cstddef>
#include <cstdint>

namespace velanox::engine {

/// The planes and scratch of the engine's runs. A caller that runs the engine many times (tile
/// after tile, or preview after preview) keeps one, so the memory is allocated and touched once
/// instead of on every call. Not shared between concurrent runs.
class EngineWorkspace {
public:
    EngineWorkspace();
    ~EngineWorkspace();
    EngineWorkspace(const EngineWorkspace&) = delete;
    EngineWorkspace& operator=(const EngineWorkspace&) = delete;

    /// Makes room for planes of plane0 and plane1 doubles (0: no such plane), for scratchSize
    /// doubles of scratch and for `bytes` bytes, keeping what is already large enough. False,
    /// with everything released, when the memory cannot be had.
    bool reserve(std::size_t plane0, std::size_t plane1, std::size_t scratchSize,
                 std::size_t bytes = 0);
    double* plane(int index) const { return reinterpret_cast<double*>(m_planes[index].data()); }
    double* scratch() const { return reinterpret_cast<double*>(m_scratch.data()); }
    unsigned char* byteSpace() const { return m_bytes.data(); }
    /// Bytes held.
    std::size_t bytes() const;
    void release();

private:
    /// Makes block hold at least count doubles.
    static bool grow(LargeBlock& block, std::size_t count);

    LargeBlock m_planes[2];
    LargeBlock m_scratch;
    LargeBlock m_bytes;
};

} // namespace velanox::engine
