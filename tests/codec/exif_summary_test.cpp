// The EXIF summary from raw tag values, and the file information text built from it.
#include "codec/codec_test_files.h"
#include "codec/exif/exif_summary.h"
#include "codec/exif/file_info_text.h"
#include "codec/picture.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

namespace velanox::codec {
namespace {

// Builds an "Exif\0\0" payload (little-endian TIFF structure) with tags in IFD 0 and in the
// EXIF IFD.
class ExifBuilder {
public:
    struct Tag {
        uint16_t id, type;
        uint32_t count;
        std::vector<uint8_t> value;
    };
    void ascii(bool exifIfd, uint16_t id, const std::string& text) {
        std::vector<uint8_t> v(text.begin(), text.end());
        v.push_back(0);
        add(exifIfd, {id, 2, uint32_t(v.size()), v});
    }
    void shortValue(bool exifIfd, uint16_t id, uint16_t value) {
        add(exifIfd, {id, 3, 1, {uint8_t(value), uint8_t(value >> 8)}});
    }
    void rational(bool exifIfd, uint16_t id, int32_t numerator, int32_t denominator,
                  bool isSigned) {
        std::vector<uint8_t> v;
        put32(v, uint32_t(numerator));
        put32(v, uint32_t(denominator));
        add(exifIfd, {id, uint16_t(isSigned ? 10 : 5), 1, v});
    }
    void undefined(bool exifIfd, uint16_t id, const std::vector<uint8_t>& bytes) {
        add(exifIfd, {id, 7, uint32_t(bytes.size()), bytes});
    }

    std::vector<uint8_t> payload() const {
        std::vector<Tag> ifd0 = m_ifd0;
        const bool withExif = !m_exif.empty();
        if (withExif) ifd0.push_back({0x8769, 4, 1, {0, 0, 0, 0}}); // patched below
        std::sort(ifd0.begin(), ifd0.end(), [](auto& a, auto& b) { return a.id < b.id; });
        std::vector<Tag> exif = m_exif;
        std::sort(exif.begin(), exif.end(), [](auto& a, auto& b) { return a.id < b.id; });

        std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
        const uint32_t ifd0Size = uint32_t(2 + ifd0.size() * 12 + 4);
        const uint32_t exifOffset = 8 + ifd0Size + uint32_t(dataSize(ifd0));
        writeIfd(tiff, ifd0, exifOffset);
        if (withExif) writeIfd(tiff, exif, 0);
        std::vector<uint8_t> out = {'E', 'x', 'i', 'f', 0, 0};
        out.insert(out.end(), tiff.begin(), tiff.end());
        return out;
    }

private:
    void add(bool exifIfd, Tag tag) { (exifIfd ? m_exif : m_ifd0).push_back(std::move(tag)); }
    static void put16(std::vector<uint8_t>& v, uint32_t x) {
        v.push_back(uint8_t(x));
        v.push_back(uint8_t(x >> 8));
    }
    static void put32(std::vector<uint8_t>& v, uint32_t x) {
        put16(v, x);
        put16(v, x >> 16);
    }
    static std::size_t dataSize(const std::vector<Tag>& tags) {
        std::size_t n = 0;
        for (const Tag& t : tags)
            if (t.value.size() > 4) n += t.value.size() + (t.value.size() & 1);
        return n;
    }
    // The IFD at the end of out, its long values right after it.
    static void writeIfd(std::vector<uint8_t>& out, const std::vector<Tag>& tags,
                         uint32_t exifOffset) {
        const uint32_t start = uint32_t(out.size());
        uint32_t data = start + uint32_t(2 + tags.size() * 12 + 4);
        std::vector<uint8_t> extra;
        put16(out, uint32_t(tags.size()));
        for (const Tag& t : tags) {
            put16(out, t.id);
            put16(out, t.type);
            put32(out, t.count);
            if (t.id == 0x8769) {
                put32(out, exifOffset);
            } else if (t.value.size() <= 4) {
                std::vector<uint8_t> v = t.value;
                v.resize(4, 0);
                out.insert(out.end(), v.begin(), v.end());
            } else {
                put32(out, data + uint32_t(extra.size()));
                extra.insert(extra.end(), t.value.begin(), t.value.end());
                if (t.value.size() & 1) extra.push_back(0);
            }
        }
        put32(out, 0);
        out.insert(out.end(), extra.begin(), extra.end());
    }
    std::vector<Tag> m_ifd0, m_exif;
};

ExifSummary summaryOf(const ExifBuilder& builder) {
    const std::vector<uint8_t> payload = builder.payload();
    ExifSummary summary;
    EXPECT_TRUE(codec::readExifSummary(payload.data(), payload.size(), summary));
    return summary;
}

TEST(ExifSummary, RawValuesOfEveryTag) {
    ExifBuilder b;
    b.ascii(false, 271, "Canon");
    b.ascii(false, 272, "Canon PowerShot G6");
    b.shortValue(false, 274, 6);
    b.ascii(false, 306, "2004:01:01 00:00:00");
    b.ascii(true, 36867, "2005:06:07 08:09:10");
    b.rational(true, 33434, 1, 60, false);
    b.rational(true, 33437, 28, 10, false);
    b.shortValue(true, 34850, 3);
    b.shortValue(true, 34855, 400);
    b.rational(true, 37377, 59, 10, true);
    b.rational(true, 37380, -2, 3, true);
    b.rational(true, 37382, 35, 10, false);
    b.shortValue(true, 37383, 5);
    b.shortValue(true, 37384, 4);
    b.shortValue(true, 37385, 0x19);
    std::vector<uint8_t> comment = {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
    b.undefined(true, 37510, comment);
    b.shortValue(true, 40961, 1);
    const ExifSummary s = summaryOf(b);
    EXPECT_TRUE(s.present);
    EXPECT_EQ(s.make, "Canon");
    EXPECT_EQ(s.model, "Canon PowerShot G6");
    EXPECT_EQ(s.orientation, 6);
    EXPECT_EQ(s.dateTime, "2005:06:07 08:09:10"); // DateTimeOriginal before DateTime
    EXPECT_DOUBLE_EQ(s.exposureTime, 1.0 / 60);
    EXPECT_DOUBLE_EQ(s.fNumber, 2.8);
    EXPECT_EQ(s.exposureProgram, "aperture priority");
    EXPECT_EQ(s.iso, 400);
    EXPECT_DOUBLE_EQ(s.shutterSpeed, 1.0 / 30); // APEX 5.9 lies in 5 ... 6
    EXPECT_NEAR(s.exposureBias, -2.0 / 3, 1e-12);
    EXPECT_DOUBLE_EQ(s.subjectDistance, 3.5);
    EXPECT_EQ(s.meteringMode, "multi-segment");
    EXPECT_EQ(s.lightSource, 4);
    EXPECT_EQ(s.flashFired, 1);
    EXPECT_EQ(s.userComment, "hello");
    EXPECT_EQ(s.colorSpace, 1);
}

TEST(ExifSummary, MissingAndInvalidValues) {
    ExifBuilder b;
    b.ascii(false, 306, "2001:02:03 04:05:06");
    b.rational(true, 33434, 1, 0, false); // b = 0: ignored
    b.rational(true, 37377, 0, 0, true);  // v = 1 when b <= 0
    b.shortValue(true, 37385, 16);        // even: not fired
    b.shortValue(true, 34850, 42);
    b.shortValue(true, 37383, 255);
    b.undefined(true, 37510, {'U', 'N', 'I', 'C', 'O', 'D', 'E', 0, 'h', 0});
    const ExifSummary s = summaryOf(b);
    EXPECT_EQ(s.dateTime, "2001:02:03 04:05:06");
    EXPECT_EQ(s.exposureTime, 0);
    EXPECT_DOUBLE_EQ(s.shutterSpeed, 0.5);
    EXPECT_EQ(s.flashFired, 0);
    EXPECT_EQ(s.exposureProgram, "other");
    EXPECT_EQ(s.meteringMode, "other");
    EXPECT_TRUE(s.userComment.empty());
    EXPECT_EQ(s.iso, 0);
    EXPECT_EQ(s.orientation, 0);

    ExifSummary garbage;
    const uint8_t junk[] = {'E', 'x', 'i', 'f', 0, 0, 1, 2, 3};
    EXPECT_FALSE(codec::readExifSummary(junk, sizeof junk, garbage));
}

TEST(ExifSummary, ShutterSpeedTable) {
    const std::pair<double, double> cases[] = {
        {-5, 30},         {-4, 15},         {-3.5, 15},       {-3, 8},
        {-1, 2},          {-0.01, 2},       {0, 1},           {1, 0.5},
        {2.99, 0.25},     {4, 1.0 / 15},    {6.5, 1.0 / 60},  {7, 1.0 / 125},
        {9.9, 1.0 / 500}, {10, 1.0 / 1000}, {11, 1.0 / 2000}, {40, 1.0 / 2000},
    };
    for (auto [apex, seconds] : cases)
        EXPECT_DOUBLE_EQ(codec::nominalShutterSeconds(apex), seconds) << apex;
}

TEST(ExifSummary, ProgramAndMeteringNames) {
    EXPECT_STREQ(codec::exposureProgramName(1), "manual control");
    EXPECT_STREQ(codec::exposureProgramName(5), "program creative (slow program)");
    EXPECT_STREQ(codec::exposureProgramName(6), "program action(high-speed program)");
    EXPECT_STREQ(codec::exposureProgramName(8), "landscape mode");
    EXPECT_STREQ(codec::exposureProgramName(0), "other");
    EXPECT_STREQ(codec::meteringModeName(2), "center weighted");
    EXPECT_STREQ(codec::meteringModeName(4), "multi-spot");
    EXPECT_STREQ(codec::meteringModeName(6), "other");
}

std::string exposureLine(double exposureTime, double shutterSpeed = 0) {
    ExifSummary s;
    s.exposureTime = exposureTime;
    s.shutterSpeed = shutterSpeed;
    const std::string text = codec::fileInfoText(s, true, 10, 20);
    return text.substr(text.rfind("\r\n", text.size() - 3) + 2);
}

TEST(FileInfoText, ExposureLines) {
    EXPECT_EQ(exposureLine(1.0), "1/1\r\n");
    EXPECT_EQ(exposureLine(2.5), "2 \"\r\n");
    EXPECT_EQ(exposureLine(1.0 / 3), "1/3\r\n");
    EXPECT_EQ(exposureLine(10.0 / 30), "1/3\r\n");
    EXPECT_EQ(exposureLine(1.0 / 250), "1/250\r\n");
    EXPECT_EQ(exposureLine(0, 1.0 / 125), "1/125\r\n"); // ShutterSpeedValue when no time
}

TEST(FileInfoText, ShutterSpeedZeroOverZeroShowsHalfASecond) {
    ExifBuilder b;
    b.ascii(false, 271, "Make");
    b.ascii(false, 272, "Model");
    b.rational(true, 37377, 0, 0, true);
    const ExifSummary s = summaryOf(b);
    EXPECT_EQ(codec::fileInfoText(s, true, 640, 480), "Make Model\r\n640 x 480\r\n\r\n1/2\r\n");
}

TEST(FileInfoText, FullAndEmptyTexts) {
    ExifSummary s;
    s.make = "NIKON";
    s.model = "D70";
    s.dateTime = "2005:01:01 10:00:00";
    s.iso = 200;
    s.exposureTime = 1.0 / 20;
    s.fNumber = 4.5;
    EXPECT_EQ(codec::fileInfoText(s, true, 3008, 2000),
              "NIKON D70\r\n3008 x 2000\r\n2005:01:01 10:00:00\r\nISO: 200\r\n1/20\r\nF: 4.5\r\n");
    ExifSummary bare;
    bare.make = "X";
    bare.model = "Y";
    bare.dateTime = "d";
    EXPECT_EQ(codec::fileInfoText(bare, true, 1, 2), "X Y\r\n1 x 2\r\nd\r\n");
    EXPECT_EQ(codec::fileInfoText(s, false, 300, 200), "No EXIF\r\n300 x 200");
}

TEST(FileInfoText, FromACameraFile) {
    VELANOX_TEST_FILE(path, "jpeg/canon_powershot_sx150is_orient6.jpg");
    Picture p;
    ASSERT_TRUE(p.load(path).ok());
    const std::string text = codec::fileInfoText(p);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "Canon Canon PowerShot SX150 IS");
    EXPECT_NE(text.find("\r\n1200 x 1600\r\n"), std::string::npos);
    EXPECT_NE(text.find("ISO: 80\r\n1/50\r\nF: 3.4\r\n"), std::string::npos) << text;
}

} // namespace
} // namespace velanox::codec
