// Files for the document tests: a temporary folder removed at the end of the test and small
// pictures written into it.
#pragma once

#include "codec/picture.h"
#include "support/status_assert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace velanox::test {

class TempFolder {
public:
    TempFolder() {
        std::random_device entropy;
        m_path = std::filesystem::temp_directory_path() /
                 ("velanox_document_" + std::to_string(entropy()) + std::to_string(entropy()));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

/// A 24-bit picture of width x height whose pixels follow the seed.
inline void fillPicture(codec::Picture& picture, int32_t width, int32_t height, uint8_t seed) {
    ASSERT_TRUE(picture.allocate(width, height, 24).ok());
    for (std::size_t i = 0; i < picture.pixelBytes(); ++i)
        picture.pixels()[i] = uint8_t(seed + i * 7 + (i / 3) % 13);
}

/// Writes a small picture file, in the format of the name's extension unless one is given.
inline void writePicture(const std::string& path, int32_t width, int32_t height, uint8_t seed,
                         uint32_t format = codec::kFormatAuto) {
    codec::Picture picture;
    fillPicture(picture, width, height, seed);
    ASSERT_TRUE(test::succeeded(picture.save(path, format)));
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace velanox::test
