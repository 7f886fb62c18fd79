#include "color/color_match_state.h"
#include "color/color_profile.h"
#include "support/test_images.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

namespace velanox::color {
namespace {

namespace fs = std::filesystem;

ColorProfile sampleProfile(int w = 17, int h = 9) {
    ColorProfile profile;
    profile.thumbnailWidth = w;
    profile.thumbnailHeight = h;
    for (int i = 0; i < w * h * 3; ++i)
        profile.thumbnail.push_back(uint8_t(i * 7));
    const test::TestImage img = test::makeRandom(37, 23, 3);
    profile.statistics =
        computeColorStatistics(core::ConstImageView(img.data(), 37, 23, 4, img.stride));
    // Values whose bits a careless writer would lose.
    profile.statistics[1][3] = std::numeric_limits<double>::denorm_min();
    profile.statistics[2][4] = -0.0;
    return profile;
}

std::vector<uint8_t> encoded(const ColorProfile& profile) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(encodeProfile(profile, bytes).ok());
    return bytes;
}

bool sameBits(const ColorStatistics& a, const ColorStatistics& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

core::ByteSpan span(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

class ProfileFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("velanox_profile_test_" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    void writeBytes(const std::string& p, const std::vector<uint8_t>& bytes) const {
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    fs::path m_dir;
};

TEST(ColorProfileLayout, FieldsSitWhereTheFormatPutsThem) {
    const ColorProfile profile = sampleProfile(170, 100);
    const std::vector<uint8_t> bytes = encoded(profile);
    ASSERT_EQ(bytes.size(), 57161u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 13),
              (std::vector<uint8_t>{0x21, 0x30, 0, 0, 0, 170, 0, 0, 0, 100, 0, 0, 0}));
    const std::size_t statsAt = 13 + 170 * 100 * 3;
    double first = 0;
    std::memcpy(&first, &bytes[statsAt + 8], 8); // green entry 0
    EXPECT_EQ(first, profile.statistics[1][0]);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ColorProfileLayout, RoundTripIsBitForBit) {
    const ColorProfile profile = sampleProfile();
    ColorProfile back;
    ASSERT_TRUE(decodeProfile(span(encoded(profile)), back).ok());
    EXPECT_TRUE(sameBits(back.statistics, profile.statistics));
    EXPECT_EQ(back.thumbnail, profile.thumbnail);
    EXPECT_EQ(back.thumbnailWidth, 17);
    EXPECT_EQ(encoded(back), encoded(profile));

    ColorProfile empty;
    ASSERT_TRUE(decodeProfile(span(encoded(sampleProfile(0, 0))), empty).ok());
    EXPECT_TRUE(empty.thumbnail.empty());
}

TEST(ColorProfileLayout, EveryStringFieldFormIsSkipped) {
    const ColorProfile profile = sampleProfile();
    const std::vector<uint8_t> plain = encoded(profile);
    const std::vector<std::vector<uint8_t>> fields = {
        {3, 'a', 'b', 'c'},
        {0xFF, 0x04, 0x01}, // 260 bytes
        {0xFF, 0xFF, 0xFF, 0x03, 0x00, 0x00, 0x00},
        {0xFF, 0xFE, 0xFF, 0x02},                                     // wide, 2 characters
        {0xFF, 0xFE, 0xFF, 0xFF, 0x05, 0x00},                         // wide, 16-bit length 5
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00}, // wide, 32-bit length
    };
    const std::size_t textBytes[] = {0, 260, 3, 4, 10, 4};
    for (std::size_t f = 0; f < fields.size(); ++f) {
        std::vector<uint8_t> bytes(plain.begin(), plain.begin() + 4);
        bytes.insert(bytes.end(), fields[f].begin(), fields[f].end());
        bytes.insert(bytes.end(), textBytes[f], 'x');
        bytes.insert(bytes.end(), plain.begin() + 5, plain.end());
        ColorProfile back;
        ASSERT_TRUE(decodeProfile(span(bytes), back).ok()) << "form " << f;
        EXPECT_TRUE(sameBits(back.statistics, profile.statistics)) << "form " << f;
        EXPECT_EQ(back.thumbnail, profile.thumbnail);

        bytes.resize(4 + fields[f].size() + textBytes[f] / 2); // the text cut short
        EXPECT_FALSE(decodeProfile(span(bytes), back).ok()) << "form " << f;
    }
}

TEST(ColorProfileLayout, TruncatedAndImpossibleFilesAreRefused) {
    const std::vector<uint8_t> bytes = encoded(sampleProfile());
    ColorProfile out = sampleProfile(2, 2);
    for (std::size_t size :
         {std::size_t(0), std::size_t(3), std::size_t(12), std::size_t(200), bytes.size() - 1}) {
        EXPECT_EQ(decodeProfile({bytes.data(), size}, out).code, core::StatusCode::Corrupt) << size;
        EXPECT_EQ(out.thumbnailWidth, 2) << "a refused file leaves the output alone";
    }
    for (auto [w, h] : {std::pair{171, 1}, std::pair{1, 101}, std::pair{-1, 5}}) {
        std::vector<uint8_t> bad = bytes;
        std::memcpy(&bad[5], &w, 4);
        std::memcpy(&bad[9], &h, 4);
        EXPECT_FALSE(decodeProfile(span(bad), out).ok()) << w << " x " << h;
    }
    std::vector<uint8_t> written;
    EXPECT_FALSE(encodeProfile(sampleProfile(171, 1), written).ok());
}

TEST(ColorProfileLayout, StatisticsThatAreNoDistributionsAreRefused) {
    const std::vector<uint8_t> bytes = encoded(sampleProfile());
    ColorProfile reference = sampleProfile();
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), -0.5, 1.5, 1e300}) {
        ColorProfile profile = sampleProfile();
        profile.statistics[2][200] = bad;
        std::vector<uint8_t> written;
        ASSERT_TRUE(encodeProfile(profile, written).ok());
        ColorProfile out = sampleProfile(2, 2);
        const core::Status s = decodeProfile(span(written), out);
        EXPECT_EQ(s.code, core::StatusCode::Corrupt) << bad;
        EXPECT_EQ(out.thumbnailWidth, 2) << bad;
    }
    // Rounding just past 1 is what summing shares gives, and is kept.
    reference.statistics[0][255] = 1.0 + 1e-12;
    std::vector<uint8_t> written;
    ASSERT_TRUE(encodeProfile(reference, written).ok());
    ColorProfile out;
    EXPECT_TRUE(decodeProfile(span(written), out).ok());
    (void)bytes;
}

TEST_F(ProfileFiles, SavingNeverWritesThroughAPlantedLinkAndPipesAreNotWaitedOn) {
    writeBytes(path("victim"), {1, 2, 3});
    fs::create_symlink(path("victim"), path("new.cpf"));
    ASSERT_TRUE(writeProfileFile(path("new.cpf"), sampleProfile()).ok());
    EXPECT_EQ(fs::file_size(path("victim")), 3u);
    EXPECT_FALSE(fs::is_symlink(path("new.cpf")));
    ColorProfile out;
    EXPECT_TRUE(readProfileFile(path("new.cpf"), out).ok());
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
    ASSERT_EQ(::mkfifo(path("pipe.cpf").c_str(), 0600), 0);
    EXPECT_EQ(readProfileFile(path("pipe.cpf"), out).code, core::StatusCode::CannotOpen);
}

TEST_F(ProfileFiles, WrongTagAndEndMarkStillLoad) {
    std::vector<uint8_t> bytes = encoded(sampleProfile());
    bytes[0] = 0x99;
    bytes.back() = 0x00;
    bytes.push_back(0x42); // and trailing bytes are ignored
    writeBytes(path("odd.cpf"), bytes);
    ColorMatchState state;
    ASSERT_TRUE(state.readProfile(path("odd.cpf")).ok());
    EXPECT_TRUE(sameBits(state.profileStatistics, sampleProfile().statistics));
    EXPECT_EQ(state.profilePreview.width, 17);
    EXPECT_EQ(state.profilePath, path("odd.cpf"));
}

TEST_F(ProfileFiles, TruncatedFileKeepsTheProfileInForce) {
    const std::vector<uint8_t> bytes = encoded(sampleProfile());
    writeBytes(path("good.cpf"), bytes);
    writeBytes(path("cut.cpf"), std::vector<uint8_t>(bytes.begin(), bytes.end() - 100));
    ColorMatchState state;
    ASSERT_TRUE(state.readProfile(path("good.cpf")).ok());
    EXPECT_FALSE(state.readProfile(path("cut.cpf")).ok());
    EXPECT_FALSE(state.readProfile(path("missing.cpf")).ok());
    EXPECT_FALSE(state.readProfile(m_dir.string()).ok());
    EXPECT_EQ(state.profilePath, path("good.cpf"));
    EXPECT_TRUE(sameBits(state.profileStatistics, sampleProfile().statistics));
    EXPECT_EQ(state.profilePreview.width, 17);
}

TEST_F(ProfileFiles, ReferenceWrittenAndReadBackIsTheSame) {
    ColorMatchState state;
    EXPECT_EQ(state.writeProfile(path("none.cpf")).reason, kNoReferenceMessage);
    EXPECT_FALSE(fs::exists(path("none.cpf")));

    image::PixelBuffer reference;
    ASSERT_TRUE(reference.allocate(400, 200, 24).ok());
    for (std::size_t i = 0; i < reference.pixelBytes(); ++i)
        reference.pixels()[i] = uint8_t(i * 31 / 7);
    ASSERT_TRUE(state.setReferenceImage(reference, {}, "/pictures/ref.jpg").ok());
    ASSERT_TRUE(state.writeProfile(path("Profile.cpf")).ok());
    EXPECT_FALSE(fs::exists(path("Profile.cpf.part")));
    ASSERT_TRUE(state.readProfile(path("Profile.cpf")).ok());
    EXPECT_TRUE(sameBits(state.profileStatistics, state.referenceStatistics));
    ASSERT_EQ(state.profilePreview.pixelBytes(), state.referenceImage.pixelBytes());
    EXPECT_EQ(std::memcmp(state.profilePreview.pixels(), state.referenceImage.pixels(),
                          state.referenceImage.pixelBytes()),
              0);

    EXPECT_EQ(state.writeProfile(path("no/such/folder/x.cpf")).code, core::StatusCode::WriteFailed);
}

TEST_F(ProfileFiles, ListIsSortedWithoutRegardToCase) {
    for (const char* name : {"beta.cpf", "Alpha.cpf", "gamma.CPF", "notes.txt"})
        writeBytes(path(name), {1});
    fs::create_directories(m_dir / "folder.cpf");
    const std::vector<std::string> found = findProfiles(m_dir.string());
    EXPECT_EQ(found,
              (std::vector<std::string>{path("Alpha.cpf"), path("beta.cpf"), path("gamma.CPF")}));
    EXPECT_TRUE(findProfiles(path("absent")).empty());
}

TEST(ProfileNames, PathSeparatorsAndParentReferencesAreRefused) {
    EXPECT_TRUE(isValidProfileName("Profile"));
    EXPECT_TRUE(isValidProfileName("Sunset 2.0"));
    for (const char* bad : {"", "a/b", "a\\b", "..", "x..y"})
        EXPECT_FALSE(isValidProfileName(bad)) << bad;
    EXPECT_EQ(profilePathFor("/opt/velanox", "Profile"), "/opt/velanox/Profile.cpf");
}

} // namespace
} // namespace velanox::color
