#include "codec/metafile/metafile_codec.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

using namespace velanox;
using namespace velanox::codec;

namespace {

// Text drawing fills font caches that live as long as the process; leak checkers would count
// them.
class FontCacheRelease : public ::testing::Environment {
public:
    void TearDown() override { releaseMetafileFontCaches(); }
};
const auto* const fontCacheRelease = ::testing::AddGlobalTestEnvironment(new FontCacheRelease);

std::vector<uint8_t> readTestFile(const std::string& relative) {
    const std::string path = test::testFile(relative);
    if (path.empty()) return {};
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

ByteSpan span(const std::vector<uint8_t>& v) {
    return {v.data(), v.size()};
}

struct Rgb {
    int r, g, b;
};
Rgb pixel(const codec::Picture& p, int x, int y) {
    const uint8_t* d = p.pixels() + (std::size_t(y) * p.width + x) * 3;
    return {d[0], d[1], d[2]};
}
bool isWhite(Rgb c) {
    return c.r > 240 && c.g > 240 && c.b > 240;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Box contentBox(const codec::Picture& p) {
    Box b;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (!isWhite(pixel(p, x, y))) {
                b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
            }
    return b;
}

void expectRendered(const codec::Picture& p, uint32_t format) {
    EXPECT_EQ(p.bitsPerPixel, 24);
    EXPECT_EQ(p.info.format, format);
    EXPECT_EQ(p.info.xResolution, 96u);
    EXPECT_EQ(p.info.yResolution, 96u);
    EXPECT_EQ(p.info.resolutionUnit, 2u);
}

// ---- a small Enhanced Metafile writer for drawing tests ------------------------------------
class EmfBuilder {
public:
    /// A picture of widthPx x heightPx at 96 dpi on a 96-dpi reference device.
    EmfBuilder(int widthPx, int heightPx) {
        record(1, {0,
                   0,
                   widthPx - 1,
                   heightPx - 1,
                   0,
                   0,
                   int(widthPx * 2540 / 96.0 + 0.5),
                   int(heightPx * 2540 / 96.0 + 0.5),
                   0x464D4520,
                   0x10000,
                   0,
                   0,
                   16,
                   0,
                   0,
                   0,
                   960,
                   960,
                   254,
                   254});
    }
    void record(uint32_t type, std::vector<int32_t> args) {
        put(type);
        put(uint32_t(8 + 4 * args.size()));
        for (int32_t a : args)
            put(uint32_t(a));
        ++m_records;
    }
    void raw(std::vector<uint8_t> bytes) {
        m_data.insert(m_data.end(), bytes.begin(), bytes.end());
    }
    std::vector<uint8_t> finish() {
        record(14, {0, 16, 20});
        std::vector<uint8_t> out = m_data;
        std::memcpy(&out[48], &sizeField(out), 4);
        const uint32_t n = m_records;
        std::memcpy(&out[52], &n, 4);
        return out;
    }

private:
    std::vector<uint8_t> m_data;
    uint32_t m_records = 0;
    void put(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            m_data.push_back(uint8_t(v >> (8 * i)));
    }
    static const uint32_t& sizeField(const std::vector<uint8_t>& v) {
        static uint32_t size;
        size = uint32_t(v.size());
        return size;
    }
};

constexpr uint32_t kStock = 0x80000000u;
constexpr int kNullPen = 8;

void renderEmf(const std::vector<uint8_t>& bytes, codec::Picture& p) {
    const Status s = readEmf(span(bytes), p, {});
    ASSERT_TRUE(s.ok()) << s.reason;
}

// A red brush selected into slot 1 and no outline.
void redBrushNoPen(EmfBuilder& b) {
    b.record(39, {1, 0, 0x0000FF, 0});
    b.record(37, {1});
    b.record(37, {int32_t(kStock | kNullPen)});
}

} // namespace

// ---- sizes --------------------------------------------------------------------------------

TEST(MetafileRenderSize, FollowsInchesAtNinetySixDpiWithinLimits) {
    auto s = metafile::renderSizeForInches(1, 0.5);
    EXPECT_EQ(s.width, 96);
    EXPECT_EQ(s.height, 48);
    s = metafile::renderSizeForInches(100, 50); // shrinks to the largest side
    EXPECT_EQ(s.width, 4096);
    EXPECT_EQ(s.height, 2048);
    s = metafile::renderSizeForInches(0.01, 0.02); // grows to the smallest side
    EXPECT_EQ(s.width, 16);
    EXPECT_EQ(s.height, 32);
    s = metafile::renderSizeForInches(0.001, 100); // both limits cannot hold: sides clamp
    EXPECT_EQ(s.width, 16);
    EXPECT_EQ(s.height, 4096);
    EXPECT_EQ(metafile::renderSizeForInches(0, 1).width, 0);
    EXPECT_EQ(metafile::renderSizeForInches(-1, 1).width, 0);
    EXPECT_EQ(metafile::renderSizeForInches(std::nan(""), 1).width, 0);
}

// ---- the shared files ---------------------------------------------------------------------

TEST(MetafileProbe, TellsTheKindsApart) {
    const auto wmf = readTestFile("formats/wmf_standard_globe.wmf");
    const auto placeable = readTestFile("formats/wmf_placeable_drawing.wmf");
    const auto emf = readTestFile("formats/emf_vector_grasslogo.emf");
    if (wmf.empty()) VELANOX_MISSING_TEST_FILE("formats/wmf_standard_globe.wmf");
    if (placeable.empty()) VELANOX_MISSING_TEST_FILE("formats/wmf_placeable_drawing.wmf");
    if (emf.empty()) VELANOX_MISSING_TEST_FILE("formats/emf_vector_grasslogo.emf");
    EXPECT_TRUE(probeWmf(span(wmf)));
    EXPECT_TRUE(probeWmf(span(placeable)));
    EXPECT_FALSE(probeEmf(span(wmf)));
    EXPECT_TRUE(probeEmf(span(emf)));
    EXPECT_FALSE(probeWmf(span(emf)));
    const std::vector<uint8_t> junk(64, 0x01);
    EXPECT_FALSE(probeWmf(span(junk)));
    EXPECT_FALSE(probeEmf(span(junk)));
    EXPECT_FALSE(probeEmf({emf.data(), 20}));
}

TEST(WmfReader, PlaceableDrawingIsARedDiscOfItsBoundingBoxSize) {
    const auto bytes = readTestFile("formats/wmf_placeable_drawing.wmf");
    if (bytes.empty()) VELANOX_MISSING_TEST_FILE("formats/wmf_placeable_drawing.wmf");
    codec::Picture p;
    const Status s = readWmf(span(bytes), p, {});
    ASSERT_TRUE(s.ok()) << s.reason;
    expectRendered(p, codec::kFormatWmf);
    // 1369 units at 1200 units per inch, at 96 dots per inch.
    EXPECT_EQ(p.width, 110);
    EXPECT_EQ(p.height, 110);
    const Rgb centre = pixel(p, 55, 55);
    EXPECT_GT(centre.r, 200);
    EXPECT_LT(centre.g, 50);
    EXPECT_LT(centre.b, 50);
    EXPECT_TRUE(isWhite(pixel(p, 2, 2))); // outside the disc
    const Box box = contentBox(p);
    EXPECT_LE(box.left, 2);
    EXPECT_LE(box.top, 2);
    EXPECT_GE(box.right, 107);
    EXPECT_GE(box.bottom, 107);
}

TEST(WmfReader, StandardGlobeFillsItsPictureWithThinLines) {
    const auto bytes = readTestFile("formats/wmf_standard_globe.wmf");
    if (bytes.empty()) VELANOX_MISSING_TEST_FILE("formats/wmf_standard_globe.wmf");
    codec::Picture p;
    const Status s = readWmf(span(bytes), p, {});
    ASSERT_TRUE(s.ok()) << s.reason;
    expectRendered(p, codec::kFormatWmf);
    EXPECT_NEAR(p.width, 667, 2);
    EXPECT_NEAR(p.height, 666, 2);
    const Box box = contentBox(p);
    EXPECT_LE(box.left, 5);
    EXPECT_LE(box.top, 5);
    EXPECT_GE(box.right, p.width - 6);
    EXPECT_GE(box.bottom, p.height - 6);
    // Outline drawing: most of the globe stays white, and the corners are outside it.
    int dark = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            dark += !isWhite(pixel(p, x, y));
    EXPECT_GT(dark, p.width * p.height / 50);
    EXPECT_LT(dark, p.width * p.height / 4);
    EXPECT_TRUE(isWhite(pixel(p, 3, 3)));
    EXPECT_TRUE(isWhite(pixel(p, p.width - 4, p.height - 4)));
}

TEST(EmfReader, GrassLogoDrawsGreenBladesInsideTheDiamond) {
    const auto bytes = readTestFile("formats/emf_vector_grasslogo.emf");
    if (bytes.empty()) VELANOX_MISSING_TEST_FILE("formats/emf_vector_grasslogo.emf");
    codec::Picture p;
    const Status s = readEmf(span(bytes), p, {});
    ASSERT_TRUE(s.ok()) << s.reason;
    expectRendered(p, codec::kFormatEmf);
    // The frame: 71.01 x 78.94 mm.
    EXPECT_EQ(p.width, 268);
    EXPECT_EQ(p.height, 298);
    const Box box = contentBox(p);
    EXPECT_NEAR(box.left, 2, 3);
    EXPECT_NEAR(box.top, 2, 3);
    EXPECT_NEAR(box.right, 265, 3);
    EXPECT_NEAR(box.bottom, 294, 4);
    const Rgb spike = pixel(p, 133, 45); // the ear at the top of the stalk
    EXPECT_LT(spike.r, 60);
    EXPECT_GT(spike.g, 110);
    EXPECT_LT(spike.b, 60);
    const Rgb shadow = pixel(p, 40, 180); // the black chevron at the lower left
    EXPECT_LT(shadow.r + shadow.g + shadow.b, 100);
    EXPECT_TRUE(isWhite(pixel(p, 20, 20)));  // outside the diamond
    EXPECT_TRUE(isWhite(pixel(p, 200, 60))); // inside it, between blades
}

TEST(EmfReader, HistogramWithBlitsAndTextDrawsBarsAxesAndLabels) {
    const auto bytes = readTestFile("formats/emf_with_bitmaps_test-013.emf");
    if (bytes.empty()) VELANOX_MISSING_TEST_FILE("formats/emf_with_bitmaps_test-013.emf");
    codec::Picture p;
    const Status s = readEmf(span(bytes), p, {});
    ASSERT_TRUE(s.ok()) << s.reason;
    expectRendered(p, codec::kFormatEmf);
    EXPECT_EQ(p.width, 554); // 146.49 x 175.50 mm
    EXPECT_EQ(p.height, 663);
    const Rgb bar = pixel(p, 245, 300); // the tallest bar, filled grey
    EXPECT_NEAR(bar.r, 169, 20);
    EXPECT_EQ(bar.r, bar.g);
    EXPECT_EQ(bar.g, bar.b);
    EXPECT_TRUE(isWhite(pixel(p, 245, 80))); // above it
    // The frame of the plot is a dark line on the left, the labels lie below and to the left.
    const Box box = contentBox(p);
    EXPECT_LT(box.left, 20);    // the rotated "frequency" label
    EXPECT_GT(box.bottom, 620); // the title below the axis
    EXPECT_LT(box.top, 100);
    int labelInk = 0;
    for (int y = 620; y < p.height; ++y)
        for (int x = 200; x < 360; ++x)
            labelInk += !isWhite(pixel(p, x, y));
    EXPECT_GT(labelInk, 100);
}

TEST(EmfReader, CorruptedFileFailsWithAReason) {
    const auto bytes = readTestFile("broken/emf_corrupted.emf");
    if (bytes.empty()) VELANOX_MISSING_TEST_FILE("broken/emf_corrupted.emf");
    ASSERT_TRUE(probeEmf(span(bytes)));
    codec::Picture p;
    const Status s = readEmf(span(bytes), p, {});
    EXPECT_EQ(s.code, StatusCode::Corrupt);
    EXPECT_FALSE(s.reason.empty());
    EXPECT_FALSE(p.hasPixels());
}

TEST(EmfReader, RefusesPicturesBeyondTheLimitsBeforeDrawing) {
    const auto bytes = readTestFile("formats/emf_vector_grasslogo.emf");
    if (bytes.empty()) VELANOX_MISSING_TEST_FILE("formats/emf_vector_grasslogo.emf");
    ReadOptions options;
    options.limits.maxDimension = 200;
    codec::Picture p;
    EXPECT_EQ(readEmf(span(bytes), p, options).code, StatusCode::TooLarge);
    EXPECT_EQ(readWmf(span(readTestFile("formats/wmf_standard_globe.wmf")), p, options).code,
              StatusCode::TooLarge);
}

// Every prefix of a good file either fails cleanly or draws; none may crash (run under the
// sanitizers to see reads past the end).
TEST(MetafileReaders, TruncatedFilesNeverCrash) {
    for (const char* name :
         {"formats/emf_vector_grasslogo.emf", "formats/emf_with_bitmaps_test-013.emf",
          "formats/wmf_placeable_drawing.wmf", "formats/wmf_standard_globe.wmf"}) {
        const auto bytes = readTestFile(name);
        if (bytes.empty()) VELANOX_MISSING_TEST_FILE(name);
        const bool emf = probeEmf(span(bytes));
        const std::size_t step = emf ? 13 : std::max<std::size_t>(1, bytes.size() / 60);
        for (std::size_t n = 0; n < bytes.size(); n += step) {
            const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
            codec::Picture p;
            const Status s = emf ? readEmf(span(cut), p, {}) : readWmf(span(cut), p, {});
            if (emf) {
                // An Enhanced Metafile without its end record is damaged.
                EXPECT_FALSE(s.ok()) << name << " cut at " << n;
            }
            if (!s.ok()) {
                EXPECT_FALSE(s.reason.empty());
                EXPECT_FALSE(p.hasPixels());
            }
        }
    }
}

// Bytes changed at random inside records: the record structure may still hold, so the player
// itself meets nonsense counts, offsets and sizes.
TEST(EmfReader, DamagedRecordContentsNeverCrash) {
    const auto bytes = readTestFile("formats/emf_with_bitmaps_test-013.emf");
    if (bytes.empty()) VELANOX_MISSING_TEST_FILE("formats/emf_with_bitmaps_test-013.emf");
    std::mt19937 random(1234);
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> damaged = bytes;
        for (int k = 0; k < 8; ++k) {
            const std::size_t at = 128 + random() % (damaged.size() - 128);
            damaged[at] = uint8_t(random());
        }
        codec::Picture p;
        const Status s = readEmf(span(damaged), p, {});
        if (s.ok()) {
            EXPECT_EQ(p.width, 554);
        }
    }
}

// ---- drawing details ----------------------------------------------------------------------

TEST(EmfPlayer, AnisotropicMappingPlacesARectangle) {
    EmfBuilder b(100, 100);
    b.record(17, {8});         // MM_ANISOTROPIC
    b.record(9, {1000, 1000}); // window extent
    b.record(11, {100, 100});  // viewport extent
    redBrushNoPen(b);
    b.record(43, {200, 300, 600, 700}); // Rectangle
    codec::Picture p;
    renderEmf(b.finish(), p);
    ASSERT_TRUE(p.hasPixels());
    ASSERT_EQ(p.width, 100);
    ASSERT_EQ(p.height, 100);
    EXPECT_EQ(pixel(p, 20, 30).r, 255);
    EXPECT_EQ(pixel(p, 20, 30).g, 0);
    EXPECT_EQ(pixel(p, 59, 69).r, 255);
    EXPECT_TRUE(isWhite(pixel(p, 19, 50)));
    EXPECT_TRUE(isWhite(pixel(p, 60, 50)));
    EXPECT_TRUE(isWhite(pixel(p, 40, 29)));
    EXPECT_TRUE(isWhite(pixel(p, 40, 70)));
}

TEST(EmfPlayer, WorldTransformAndMetricModeFlipTheAxis) {
    EmfBuilder b(100, 100);
    b.record(17, {3});      // MM_HIMETRIC: 0.01 mm, y up
    b.record(12, {0, 100}); // viewport origin at the bottom left
    redBrushNoPen(b);
    // 1 cm square from (0, 0) upwards: 37.8 pixels at 96 dpi.
    b.record(43, {0, 0, 1000, 1000});
    codec::Picture p;
    renderEmf(b.finish(), p);
    ASSERT_TRUE(p.hasPixels());
    EXPECT_EQ(pixel(p, 5, 95).r, 255);
    EXPECT_EQ(pixel(p, 5, 95).g, 0);
    EXPECT_EQ(pixel(p, 36, 64).g, 0);
    EXPECT_TRUE(isWhite(pixel(p, 40, 95)));
    EXPECT_TRUE(isWhite(pixel(p, 5, 60)));

    EmfBuilder w(100, 100);
    const float scale = 2.0f, zero = 0.0f, shift = 10.0f;
    int32_t s, z, t;
    std::memcpy(&s, &scale, 4);
    std::memcpy(&z, &zero, 4);
    std::memcpy(&t, &shift, 4);
    w.record(35, {s, z, z, s, t, t}); // world: scale 2, then move by 10
    redBrushNoPen(w);
    w.record(43, {0, 0, 10, 10});
    codec::Picture q;
    renderEmf(w.finish(), q);
    ASSERT_TRUE(q.hasPixels());
    EXPECT_EQ(pixel(q, 11, 11).r, 255);
    EXPECT_EQ(pixel(q, 28, 28).g, 0);
    EXPECT_TRUE(isWhite(pixel(q, 8, 20)));
    EXPECT_TRUE(isWhite(pixel(q, 31, 20)));
}

TEST(EmfPlayer, RestoreDcDropsTheClipOfTheSavedState) {
    EmfBuilder b(50, 50);
    redBrushNoPen(b);
    b.record(33, {});              // SaveDC
    b.record(30, {0, 0, 10, 10});  // IntersectClipRect
    b.record(43, {0, 0, 50, 25});  // clipped: only the top left corner
    b.record(34, {-1});            // RestoreDC
    b.record(43, {0, 25, 50, 50}); // whole lower half
    codec::Picture p;
    renderEmf(b.finish(), p);
    ASSERT_TRUE(p.hasPixels());
    EXPECT_EQ(pixel(p, 5, 5).g, 0);
    EXPECT_TRUE(isWhite(pixel(p, 20, 5)));
    EXPECT_EQ(pixel(p, 45, 45).g, 0);
}

TEST(EmfPlayer, RecordsWhoseContentsOverrunThemAreSkipped) {
    EmfBuilder b(50, 50);
    redBrushNoPen(b);
    b.record(3, {0, 0, 0, 0, 1000000, 0, 0, 50, 50}); // Polygon claiming a million points
    b.record(81, {0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 80, 40, 1 << 30, 400, 0, 0xCC0020, 50, 50});
    b.record(38, {});           // CreatePen without its fields
    b.record(37, {5000});       // an object that does not exist
    b.record(99999, {1, 2, 3}); // unknown record
    b.record(43, {0, 0, 25, 25});
    codec::Picture p;
    renderEmf(b.finish(), p);
    ASSERT_TRUE(p.hasPixels());
    EXPECT_EQ(pixel(p, 10, 10).g, 0);
    EXPECT_TRUE(isWhite(pixel(p, 40, 40)));
}

TEST(EmfReader, RecordRunningPastTheFileIsAnError) {
    EmfBuilder b(50, 50);
    b.record(43, {0, 0, 25, 25});
    std::vector<uint8_t> bytes = b.finish();
    // The rectangle record (after the 88-byte header) claims more bytes than remain.
    bytes[88 + 4] = 0xF0;
    codec::Picture p;
    const Status s = readEmf(span(bytes), p, {});
    EXPECT_EQ(s.code, StatusCode::Corrupt);
    EXPECT_NE(s.reason.find("record 1"), std::string::npos) << s.reason;
}

// ---- writers ------------------------------------------------------------------------------

namespace {

void randomPicture(int width, int height, uint32_t seed, codec::Picture& p) {
    ASSERT_TRUE(p.allocate(width, height, 24).ok());
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < p.pixelBytes(); ++i)
        p.pixels()[i] = uint8_t(random());
}

void expectSamePixels(const codec::Picture& a, const codec::Picture& b) {
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    EXPECT_EQ(0, std::memcmp(a.pixels(), b.pixels(), std::size_t(a.width) * a.height * 3));
}

} // namespace

TEST(MetafileWriters, WrittenPicturesReadBackWithTheSamePixels) {
    // Odd widths exercise the row padding of the bitmap.
    for (auto [w, h] : {std::pair{37, 23}, std::pair{16, 16}, std::pair{301, 17}}) {
        codec::Picture source;
        randomPicture(w, h, uint32_t(w * 31 + h), source);
        std::vector<uint8_t> wmf, emf;
        ASSERT_TRUE(writeWmf(source, wmf).ok());
        ASSERT_TRUE(writeEmf(source, emf).ok());
        EXPECT_TRUE(probeWmf(span(wmf)));
        EXPECT_TRUE(probeEmf(span(emf)));
        codec::Picture fromWmf, fromEmf;
        const Status sw = readWmf(span(wmf), fromWmf, {});
        const Status se = readEmf(span(emf), fromEmf, {});
        ASSERT_TRUE(sw.ok()) << sw.reason;
        ASSERT_TRUE(se.ok()) << se.reason;
        expectSamePixels(source, fromWmf);
        expectSamePixels(source, fromEmf);
    }
}

TEST(MetafileWriters, EnhancedMetafileHeaderDescribesTheFile) {
    codec::Picture source;
    randomPicture(10, 20, 7, source);
    std::vector<uint8_t> emf;
    ASSERT_TRUE(writeEmf(source, emf).ok());
    auto u32 = [&](std::size_t o) {
        return uint32_t(emf[o] | emf[o + 1] << 8 | emf[o + 2] << 16 | uint32_t(emf[o + 3]) << 24);
    };
    EXPECT_EQ(u32(48), emf.size()); // nBytes
    EXPECT_EQ(u32(52), 3u);         // header, StretchDIBits, EOF
    EXPECT_EQ(u32(emf.size() - 20), 14u);
    EXPECT_EQ(u32(emf.size() - 4), 20u);
    std::vector<uint8_t> wmf;
    ASSERT_TRUE(writeWmf(source, wmf).ok());
    // The standard header's size (in 16-bit words) covers everything after the placeable one.
    const uint32_t words = uint32_t(wmf[28] | wmf[29] << 8 | wmf[30] << 16 | wmf[31] << 24);
    EXPECT_EQ(words * 2, wmf.size() - 22);
}

TEST(MetafileWriters, SmallPicturesReadBackEnlarged) {
    codec::Picture source;
    randomPicture(4, 2, 3, source);
    std::vector<uint8_t> emf;
    ASSERT_TRUE(writeEmf(source, emf).ok());
    codec::Picture back;
    ASSERT_TRUE(readEmf(span(emf), back, {}).ok());
    EXPECT_EQ(back.width, 32);
    EXPECT_EQ(back.height, 16);
}

TEST(MetafileWriters, RefuseWhatTheyCannotHold) {
    codec::Picture empty;
    std::vector<uint8_t> out;
    EXPECT_FALSE(writeWmf(empty, out).ok());
    EXPECT_FALSE(writeEmf(empty, out).ok());
    codec::Picture grey;
    ASSERT_TRUE(grey.allocate(8, 8, 8).ok());
    EXPECT_EQ(writeEmf(grey, out).code, StatusCode::Unsupported);
    // Windows Metafile coordinates are 16-bit.
    codec::Picture wide;
    ASSERT_TRUE(wide.allocate(40000, 1, 24).ok());
    EXPECT_EQ(writeWmf(wide, out).code, StatusCode::TooLarge);
    EXPECT_TRUE(writeEmf(wide, out).ok());
}
