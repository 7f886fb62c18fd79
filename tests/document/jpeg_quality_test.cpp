#include "document/jpeg_quality.h"

#include "support/recording_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace velanox;

TEST(QualityEdit, CorrectedIntoRange) {
    EXPECT_EQ(document::correctQuality(7).quality, 40);
    EXPECT_TRUE(document::correctQuality(7).corrected);
    EXPECT_EQ(document::correctQuality(150).quality, 100);
    EXPECT_TRUE(document::correctQuality(150).corrected);
    EXPECT_EQ(document::correctQuality(40).quality, 40);
    EXPECT_FALSE(document::correctQuality(40).corrected);
    EXPECT_EQ(document::correctQuality(100).quality, 100);
    EXPECT_FALSE(document::correctQuality(100).corrected);
    // Compared as unsigned, a negative number is very large.
    EXPECT_EQ(document::correctQuality(-5).quality, 100);
    EXPECT_EQ(document::correctQuality(int64_t(1) << 40).quality, 100);
}

TEST(QualityEdit, TextReadAsTheEditDoes) {
    EXPECT_EQ(document::correctQualityText("7").quality, 40);
    EXPECT_EQ(document::correctQualityText("150").quality, 100);
    EXPECT_EQ(document::correctQualityText(" 85").quality, 85);
    EXPECT_FALSE(document::correctQualityText("85abc").corrected);
    EXPECT_EQ(document::correctQualityText("").quality, 40);
    EXPECT_EQ(document::correctQualityText("-1").quality, 100);
    EXPECT_EQ(document::correctQualityText("99999999999999999999999").quality, 100);
}

TEST(FormatFileSize, DividesAsSoonAsAboveOneThousand) {
    EXPECT_EQ(document::formatFileSize(800, 2), "800.00 bytes");
    EXPECT_EQ(document::formatFileSize(1500000, 3), "1.431 MB");
    EXPECT_EQ(document::formatFileSize(1010, 3), "0.986 KB");
    EXPECT_EQ(document::formatFileSize(1000, 0), "1000 bytes");
    EXPECT_EQ(document::formatFileSize(0, 1), "0.0 bytes");
    EXPECT_EQ(document::formatFileSize(uint64_t(5) << 40, 1), "5.0 TB");
    // Beyond terabytes the unit stays.
    EXPECT_EQ(document::formatFileSize(uint64_t(2000) << 40, 0), "2000 TB");
}

TEST(JpegOptionsTexts, SizesAndSourceDataSize) {
    EXPECT_EQ(document::jpegOptionsSizeText(2592, 1944),
              "Image 2592 x 1944 , uncompressed size 19.22 MB");
    EXPECT_EQ(document::calcOutputSizeText(800, 1010),
              "Source Image Size: 800.000 bytes\nEstimated Output Size: 0.986 KB");
    EXPECT_EQ(document::sourceDataSize(5000, 1200), 3800u);
    EXPECT_EQ(document::sourceDataSize(100, 1200), 0u);
}

TEST(SuggestQuality, EndsOfTheRange) {
    int probes = 0;
    const document::JpegSizeEstimator small = [&](int32_t) -> uint64_t { return ++probes, 10; };
    const document::JpegSizeEstimator large = [](int32_t) -> uint64_t { return 1000000; };
    EXPECT_EQ(document::suggestQuality(5000, small), 92);
    EXPECT_EQ(document::suggestedQualitySetting(5000, small), 91);
    EXPECT_EQ(document::suggestedQualitySetting(5000, large), 59);
    EXPECT_LE(probes, 12); // six per search at most
}

TEST(SuggestQuality, ProbesHalveTheIntervalAndReportOnTheProgressWindow) {
    // Size grows with quality; the target is met exactly at 80.
    std::vector<int32_t> probed;
    const document::JpegSizeEstimator estimate = [&](int32_t q) -> uint64_t {
        probed.push_back(q);
        return uint64_t(q) * 100;
    };
    test::RecordingProgressDialog progress;
    EXPECT_EQ(document::searchQuality(60, 93, 8000, estimate, &progress), 80);
    EXPECT_EQ(probed, (std::vector<int32_t>{76, 84, 80}));
    EXPECT_EQ(progress.texts.front(), "Quality Probe: 76");
    EXPECT_EQ(progress.positions, (std::vector<int32_t>{76, 84, 80}));
    // Degenerate ranges answer low without probing.
    EXPECT_EQ(document::searchQuality(70, 70, 1, estimate), 70);
    EXPECT_EQ(document::searchQuality(70, 71, 1, estimate), 70);
    EXPECT_EQ(document::searchQuality(90, 60, 1, estimate), 90);
    EXPECT_EQ(probed.size(), 3u);
}

TEST(SuggestQuality, RealEncoderGrowsWithQuality) {
    codec::Picture picture;
    ASSERT_TRUE(picture.allocate(64, 48, 24).ok());
    for (std::size_t i = 0; i < picture.pixelBytes(); ++i)
        picture.pixels()[i] = uint8_t((i * 37) ^ (i >> 5));
    const document::JpegSizeEstimator estimate = document::jpegSizeEstimator(picture, true);
    const uint64_t at60 = estimate(60), at95 = estimate(95);
    EXPECT_GT(at60, 0u);
    EXPECT_GT(at95, at60);
    // A target between the two lands strictly inside the range.
    const int32_t q = document::suggestQuality((at60 + at95) / 2, estimate);
    EXPECT_GT(q, 60);
    EXPECT_LT(q, 93);

    codec::Picture empty;
    EXPECT_EQ(document::jpegSizeEstimator(empty, true)(90), 0u);
}
