// Hostile files and the contained reader: headers that lie about their size fail before anything
// is reserved, metafiles that ask for unbounded work are refused, the reader child's crashes,
// hangs, floods and damaged replies become reasons, the reader service outlives its children
// and is replaced when it ends, and nothing is left behind.
#include "codec/codec_test_files.h"
#include "codec/contained_reader.h"
#include "codec/jpeg/jpeg_codec.h"
#include "codec/metafile/drawing_work.h"
#include "codec/picture_load.h"
#include "codec/reader_reply.h"
#include "files/file_io.h"
#include "support/hostile_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velanox::codec {
namespace {

namespace fs = std::filesystem;
using test::span;

codec::Status readBytes(const std::vector<uint8_t>& bytes, const std::string& name) {
    Picture out;
    return codec::readPicture(span(bytes), name, codec::LoadRequest{}, out);
}

TEST(HostileFiles, HeadersClaimingMoreThanTheFileHoldsFailBeforeReserving) {
    const std::pair<std::vector<uint8_t>, const char*> cases[] = {
        {test::psdClaim(20000, 20000), "a.psd"},
        {test::wbmpClaim(20000, 20000), "a.wbmp"},
        {test::targaRleClaim(20000, 20000, 1000), "a.tga"},
        {test::pngZeroRows(20000, 20000, 1), "a.png"},
    };
    for (const auto& [bytes, name] : cases) {
        const codec::Status s = readBytes(bytes, name);
        EXPECT_EQ(s.code, core::StatusCode::Corrupt) << name;
        EXPECT_NE(s.reason.find("the file ends before its image data does"), std::string::npos)
            << name << ": " << s.reason;
    }
}

TEST(HostileFiles, FilesThatHoldTheirDataStillRead) {
    // The same kinds at sizes the data can fill: the checks are lower bounds, not guesses.
    Picture out;
    std::vector<uint8_t> wbmp = test::wbmpClaim(64, 8, 0);
    wbmp.resize(wbmp.size() + 8 * 8, 0x0F);
    ASSERT_TRUE(codec::readPicture(span(wbmp), "a.wbmp", {}, out).ok());
    EXPECT_EQ(out.width, 64);
    ASSERT_TRUE(codec::readPicture(span(test::targaRleClaim(128, 4, 4)), "a.tga", {}, out).ok());
    EXPECT_EQ(out.height, 4);
    // A zero bomb within the deflate ratio decodes.
    ASSERT_TRUE(
        codec::readPicture(span(test::pngZeroRows(2000, 2000, 2000)), "a.png", {}, out).ok());
    EXPECT_EQ(out.width, 2000);
}

TEST(HostileFiles, MetafilesAskingForUnboundedWorkAreRefused) {
    const std::pair<std::vector<uint8_t>, const char*> cases[] = {
        {test::emfPolygon(500000), "polygon.emf"},
        {test::emfPolyPolygonTriangles(100000), "triangles.emf"},
        {test::emfSaveStates(200000), "saves.emf"},
        {test::wmfRectangles(200000), "rectangles.wmf"},
        {test::wmfSaveStates(200000), "saves.wmf"},
    };
    for (const auto& [bytes, name] : cases) {
        const codec::Status s = readBytes(bytes, name);
        EXPECT_EQ(s.code, core::StatusCode::TooLarge) << name;
        EXPECT_EQ(s.reason, codec::metafile::kDrawingTooComplex) << name;
    }
}

TEST(HostileFiles, ComplexDrawingsWithinTheBoundsStillDraw) {
    EXPECT_TRUE(readBytes(test::emfPolygon(2000), "polygon.emf").ok());
    EXPECT_TRUE(readBytes(test::emfPolyPolygonTriangles(2000), "triangles.emf").ok());
    EXPECT_TRUE(readBytes(test::wmfRectangles(300), "rectangles.wmf").ok());
    const codec::metafile::ByteReader many(nullptr, 0);
    EXPECT_TRUE(codec::metafile::checkEmfWork(many).ok()); // nothing to count
}

// ---- the reply protocol ------------------------------------------------------------------

// A memory file of size bytes, sealed against shrinking when asked.
int memoryFile(std::size_t size, bool sealed) {
    const int fd = ::memfd_create("test", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return fd;
    if (::ftruncate(fd, off_t(size)) != 0) return -1;
    if (sealed) ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW);
    return fd;
}

void smallPicture(Picture& p) {
    test::fillRgb(p, 5, 3, [](int x, int y) { return std::tuple{x * 40, y * 80, 7}; });
    p.info.format = kFormatPng;
    p.info.xResolution = p.info.yResolution = 96;
    p.info.resolutionUnit = 2;
    p.info.exifBlock = {0xFF, 0xE1, 0, 4, 1, 2};
    p.info.exif.present = true;
    p.info.exif.make = "Maker";
    p.info.orientation = 6;
    p.writeOptions.set(codec::kSaveXResolution, 96u);
    p.writeOptions.set(codec::kSaveYResolution, 72u);
    p.writeOptions.set(codec::kSaveResolutionUnit, 2u);
}

TEST(ReaderReply, APictureCrossesWithEverythingTheReadersSet) {
    Picture p;
    smallPicture(p);
    p.info.iccProfile = {'a', 'c', 's', 'p', 9};
    const std::vector<uint8_t> reply = codec::encodeReply(codec::Status::success(), &p);
    // The memory file holds the pixels, then the profile.
    const int fd = memoryFile(p.pixelBytes() + p.info.iccProfile.size(), true);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, p.pixels(), p.pixelBytes(), 0), ssize_t(p.pixelBytes()));
    ASSERT_EQ(::pwrite(fd, p.info.iccProfile.data(), 5, off_t(p.pixelBytes())), 5);
    Picture out;
    ASSERT_TRUE(codec::acceptReply(span(reply), fd, {}, out).ok());
    EXPECT_EQ(out.width, 5);
    EXPECT_EQ(out.height, 3);
    EXPECT_EQ(0, std::memcmp(out.pixels(), p.pixels(), p.pixelBytes()));
    EXPECT_EQ(out.info.format, uint32_t(kFormatPng));
    EXPECT_EQ(out.info.xResolution, 96u);
    EXPECT_EQ(out.info.resolutionUnit, 2u);
    EXPECT_EQ(out.info.exifBlock, p.info.exifBlock);
    EXPECT_EQ(out.info.exif.make, "Maker");
    EXPECT_EQ(out.info.orientation, 6);
    EXPECT_EQ(out.info.iccProfile, p.info.iccProfile);
    // The resolution a save writes travels with the picture.
    const codec::SaveResolution save = codec::saveResolution(out.writeOptions);
    EXPECT_EQ(save.x, 96u);
    EXPECT_EQ(save.y, 72u);
    EXPECT_EQ(save.unit, 2u);
}

TEST(ReaderReply, FailuresCrossWithTheirReasonAndMemoryFailuresNameTheLimit) {
    const std::vector<uint8_t> reply = codec::encodeReply(
        codec::Status::failure(core::StatusCode::Corrupt, "PNG file: damaged."), nullptr);
    Picture out;
    const codec::Status s = codec::acceptReply(span(reply), -1, {}, out);
    EXPECT_EQ(s.code, core::StatusCode::Corrupt);
    EXPECT_EQ(s.reason, "PNG file: damaged.");
    const std::vector<uint8_t> memory = codec::encodeReply(
        codec::Status::failure(core::StatusCode::OutOfMemory, "Out of memory"), nullptr);
    EXPECT_EQ(codec::acceptReply(span(memory), -1, {}, out).reason, codec::kReadTooMuchMemory);
}

TEST(ReaderReply, HostileRepliesAreRefusedWithoutHarm) {
    Picture p;
    smallPicture(p);
    const std::vector<uint8_t> good = codec::encodeReply(codec::Status::success(), &p);
    Picture out;
    const auto refused = [&](const std::vector<uint8_t>& reply, int fd) {
        const codec::Status s = codec::acceptReply(span(reply), fd, {}, out);
        return !s.ok() && !out.hasPixels();
    };
    // Every truncation, and every single byte changed in the size fields.
    for (std::size_t n = 0; n < good.size(); n += 7)
        EXPECT_TRUE(refused({good.begin(), good.begin() + std::ptrdiff_t(n)},
                            memoryFile(p.pixelBytes(), true)))
            << n;
    // A size beyond the limits, and a pixel count that does not match the size.
    std::vector<uint8_t> huge = good;
    const std::size_t widthAt = 4 * 4; // magic, version, code, an empty reason's length
    ASSERT_EQ(huge[widthAt], 5);
    huge[widthAt + 3] = 0x40;
    EXPECT_TRUE(refused(huge, memoryFile(p.pixelBytes(), true)));
    // A profile the memory file does not hold.
    {
        Picture withProfile;
        smallPicture(withProfile);
        withProfile.info.iccProfile.assign(100, 1);
        EXPECT_TRUE(refused(codec::encodeReply(codec::Status::success(), &withProfile),
                            memoryFile(p.pixelBytes() + 99, true)));
    }
    // A memory file too small, unsealed, or something else altogether.
    EXPECT_TRUE(refused(good, memoryFile(p.pixelBytes() - 1, true)));
    EXPECT_TRUE(refused(good, memoryFile(p.pixelBytes(), false)));
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[1]);
    EXPECT_TRUE(refused(good, pipeEnds[0]));
    EXPECT_TRUE(refused(good, -1));
    // A failure code this program does not know, a failure without a reason, or a reason with
    // control characters.
    std::vector<uint8_t> strange =
        codec::encodeReply(codec::Status::failure(core::StatusCode(99), "x"), nullptr);
    EXPECT_TRUE(refused(strange, -1));
    strange = codec::encodeReply(codec::Status::failure(core::StatusCode::Corrupt, ""), nullptr);
    EXPECT_TRUE(refused(strange, -1));
    strange =
        codec::encodeReply(codec::Status::failure(core::StatusCode::Corrupt, "a\x1b[2Jb"), nullptr);
    EXPECT_TRUE(refused(strange, -1));
}

// ---- the contained reader ----------------------------------------------------------------

// Runs with TMPDIR pointing at a scratch folder, so that what a read leaves behind shows.
class ContainedReader : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        m_oldTmp = old ? old : "";
        m_hadTmp = old != nullptr;
        ::setenv("TMPDIR", m_temporaries.path().c_str(), 1);
        if (codec::findReaderProgram().empty()) GTEST_SKIP() << "velanox-nr-reader is not built";
    }
    void TearDown() override {
        if (m_hadTmp)
            ::setenv("TMPDIR", m_oldTmp.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    bool nothingLeft() const { return fs::is_empty(m_temporaries.path()); }

    codec::Status load(const std::string& path, codec::ContainedReading settings, Picture& out) {
        settings.enabled = true;
        return codec::loadPictureContained(path, codec::LoadRequest{}, settings, out);
    }

    // The stand-in reader service (tests/codec/reader_standin.cpp): its children misbehave as
    // the file's name says.
    static std::string standIn() { return VELANOX_READER_STANDIN; }

    // A small PNG file of that name.
    std::string named(const std::string& name) {
        const std::string path = m_files.file(name);
        test::writeBytes(path, test::pngZeroRows(8, 8, 8));
        return path;
    }

    static std::size_t openDescriptors() {
        return std::size_t(
            std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
    }

    static bool samePicture(const Picture& a, const Picture& b) {
        return a.width == b.width && a.height == b.height && a.pixelBytes() == b.pixelBytes() &&
               std::memcmp(a.pixels(), b.pixels(), a.pixelBytes()) == 0;
    }

    // Whether the reader service's children have all ended (within 10 s: the service ends a
    // child whose read was given up as soon as it notices).
    static bool serviceHasNoChildren() {
        const pid_t service = codec::readerServiceProcess();
        if (service <= 0) return true;
        const std::string list =
            "/proc/" + std::to_string(service) + "/task/" + std::to_string(service) + "/children";
        for (int i = 0; i < 200; ++i) {
            std::ifstream children(list);
            std::string first;
            if (!children || !(children >> first)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    test::ScratchFolder m_temporaries, m_files;
    std::string m_oldTmp;
    bool m_hadTmp = false;
};

TEST_F(ContainedReader, ReadsExactlyWhatTheReadersReadInProcess) {
    for (const char* name :
         {"jpeg/canon_powershot_sx150is_orient6.jpg", "formats/tga_8bit_colormapped_UCM8.tga",
          "formats/emf_vector_grasslogo.emf", "modern/webp_lossy_exif_orient6_hopper.webp",
          "modern/avif_8bit_alpha_irot_abc.avif", "modern/jxl_lossy_bicycles.jxl"}) {
        const std::string path = test::testFile(name);
        if (path.empty()) continue;
        Picture inProcess, contained;
        ASSERT_TRUE(codec::loadPictureFile(path, {}, inProcess).ok()) << name;
        const codec::Status s = load(path, {}, contained);
        ASSERT_TRUE(s.ok()) << name << ": " << s.reason;
        ASSERT_EQ(contained.width, inProcess.width);
        ASSERT_EQ(contained.height, inProcess.height);
        EXPECT_EQ(0, std::memcmp(contained.pixels(), inProcess.pixels(), inProcess.pixelBytes()));
        EXPECT_EQ(contained.info.format, inProcess.info.format);
        EXPECT_EQ(contained.info.exifBlock, inProcess.info.exifBlock);
        EXPECT_EQ(contained.info.exif.model, inProcess.info.exif.model);
        EXPECT_EQ(contained.info.orientation, inProcess.info.orientation);
        EXPECT_EQ(contained.info.xResolution, inProcess.info.xResolution);
        EXPECT_EQ(contained.info.fileWidth, inProcess.info.fileWidth);
        EXPECT_EQ(contained.info.filePath, path);
    }
    EXPECT_TRUE(nothingLeft());
}

// Every test file (VELANOX_CORPUS_SWEEP=1 adds the shared corpus): what the child delivers is
// what the readers deliver in process, to the byte, and a file the readers refuse is refused
// alike.
TEST_F(ContainedReader, EveryTestFileReadsTheSameInBothWays) {
    std::vector<std::string> roots = {test::testDataFolder()};
    if (const std::string corpus = test::corpusFile("");
        !corpus.empty() && std::getenv("VELANOX_CORPUS_SWEEP"))
        roots.push_back(corpus);
    int compared = 0;
    for (const std::string& root : roots) {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
            const std::string path = entry.path().string();
            Picture inProcess, contained;
            const codec::Status a = codec::loadPictureFile(path, {}, inProcess);
            const codec::Status b = load(path, {}, contained);
            ASSERT_EQ(a.code, b.code) << path << ": " << a.reason << " / " << b.reason;
            EXPECT_EQ(a.reason, b.reason) << path;
            ++compared;
            if (!a.ok()) continue;
            ASSERT_EQ(inProcess.pixelBytes(), contained.pixelBytes()) << path;
            EXPECT_EQ(0,
                      std::memcmp(inProcess.pixels(), contained.pixels(), inProcess.pixelBytes()))
                << path;
            EXPECT_EQ(inProcess.width, contained.width) << path;
            EXPECT_EQ(inProcess.info.format, contained.info.format) << path;
            EXPECT_EQ(inProcess.info.exifBlock, contained.info.exifBlock) << path;
            EXPECT_EQ(inProcess.info.exif.dateTime, contained.info.exif.dateTime) << path;
            EXPECT_EQ(inProcess.info.orientation, contained.info.orientation) << path;
            EXPECT_EQ(inProcess.info.yResolution, contained.info.yResolution) << path;
            EXPECT_EQ(inProcess.info.resolutionUnit, contained.info.resolutionUnit) << path;
            EXPECT_EQ(inProcess.info.fileHeight, contained.info.fileHeight) << path;
            EXPECT_EQ(inProcess.writeOptions, contained.writeOptions) << path;
            EXPECT_EQ(inProcess.info.iccProfile, contained.info.iccProfile) << path;
        }
    }
    EXPECT_GT(compared, 0);
    EXPECT_TRUE(nothingLeft());
}

TEST_F(ContainedReader, ReadersFailuresAndTheLimitsComeBackAsReasons) {
    const std::string psd = m_files.file("claim.psd");
    test::writeBytes(psd, test::psdClaim(20000, 20000));
    Picture out;
    codec::Status s = load(psd, {}, out);
    EXPECT_EQ(s.reason, "Photoshop file: the file ends before its image data does.");
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the reader sets no address-space limit under the address sanitiser";
#endif
    // A picture that needs more memory than allowed.
    const std::string png = m_files.file("big.png");
    test::writeBytes(png, test::pngZeroRows(14000, 14000, 14000));
    codec::ContainedReading small;
    small.memoryBytes = uint64_t(16) << 20;
    s = load(png, small, out);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.reason, codec::kReadTooMuchMemory);
    EXPECT_FALSE(out.hasPixels());
    EXPECT_TRUE(nothingLeft());
}

TEST_F(ContainedReader, CrashesHangsAndFloodsOfTheChildAreContained) {
    Picture out;
    codec::ContainedReading settings;
    settings.readerProgram = standIn();
    EXPECT_EQ(load(named("crash.png"), settings, out).reason, codec::kReaderStopped);
    EXPECT_EQ(load(named("silent.png"), settings, out).reason, codec::kReaderStopped);
    // Four megabytes on stderr neither block the read nor end up anywhere.
    EXPECT_EQ(load(named("flood.png"), settings, out).reason, codec::kReaderStopped);
    // The CPU limit ends a child that computes for ever.
    settings.cpuSeconds = 1;
    EXPECT_EQ(load(named("spin.png"), settings, out).reason, codec::kReadTooLong);
    // A child that never answers is ended at the deadline (twice the CPU limit and 5 s).
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(load(named("sleep.png"), settings, out).reason, codec::kReadTooLong);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    // One that keeps working past it, as a reader does that gets a small share of a busy
    // machine, is left to end by itself.
    EXPECT_EQ(load(named("busy.png"), settings, out).reason, codec::kReaderStopped);
    // And one the caller stops.
    settings.cpuSeconds = 20;
    int polls = 0;
    settings.keepWaiting = [&polls] { return ++polls < 3; };
    EXPECT_EQ(load(named("sleep.png"), settings, out).code, core::StatusCode::Cancelled);
    EXPECT_FALSE(out.hasPixels());
    // None of them outlives its read.
    EXPECT_TRUE(serviceHasNoChildren());
    EXPECT_TRUE(nothingLeft());
}

TEST(ReaderWords, TheFirstMeaningfulLineIsKeptCleanAndShort) {
    EXPECT_EQ(codec::firstMeaningfulLine(""), "");
    EXPECT_EQ(codec::firstMeaningfulLine("\n  \n---\n\t\n"), "");
    EXPECT_EQ(codec::firstMeaningfulLine("\n\n  *** \n  libpng error: IHDR: CRC error \r\nnext\n"),
              "libpng error: IHDR: CRC error");
    // No newline at the end; escape sequences cannot reach a terminal.
    EXPECT_EQ(codec::firstMeaningfulLine("\x1b[2Jgone"), "[2Jgone");
    // A long line is cut, never inside a character.
    const std::string wide = std::string(199, 'a') + "\xc3\xa9" + std::string(100, 'b');
    const std::string cut = codec::firstMeaningfulLine(wide);
    EXPECT_EQ(cut, std::string(199, 'a') + "...");
}

TEST_F(ContainedReader, FoldersLeftByKilledCallersAreRemovedByTheNextRead) {
    // A caller killed during a read leaves its private folder. The next read removes those of
    // this host's processes that have ended, once they are a minute old; a running process's,
    // another host's and a fresh one stay.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const std::string host = files::temporaryHostTag();
    std::string otherHost = host;
    otherHost[0] = otherHost[0] == '0' ? '1' : '0';
    const fs::path base = m_temporaries.path();
    const auto leave = [&](const std::string& tag, long pid, const char* random, bool old) {
        const fs::path folder =
            base / ("velanox-reader-" + tag + "-" + std::to_string(pid) + "-" + random);
        fs::create_directories(folder);
        test::writeBytes((folder / "policy.xml").string(), {'x'});
        const time_t when = std::time(nullptr) - (old ? 120 : 0);
        const timespec times[2] = {{when, 0}, {when, 0}};
        ::utimensat(AT_FDCWD, folder.c_str(), times, 0);
        return folder;
    };
    const fs::path stale = leave(host, ended, "aB3xYz", true);
    const fs::path running = leave(host, ::getpid(), "aB3xYz", true);
    const fs::path elsewhere = leave(otherHost, ended, "aB3xYz", true);
    const fs::path fresh = leave(host, ended, "Fresh1", false);
    const std::string png = m_files.file("a.png");
    test::writeBytes(png, test::pngZeroRows(8, 8, 8));
    Picture out;
    ASSERT_TRUE(load(png, {}, out).ok());
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running) && fs::exists(elsewhere) && fs::exists(fresh));
    // The read's own folder is gone too.
    EXPECT_EQ(std::distance(fs::directory_iterator(base), fs::directory_iterator()), 3);
}

TEST_F(ContainedReader, TheReadersOwnWordsComeWithAFailureOnly) {
    Picture out;
    codec::ContainedReading settings;
    settings.readerProgram = standIn();
    // Said just before the end: still in the pipe when the reader has gone.
    codec::Status s = load(named("words.png"), settings, out);
    EXPECT_EQ(s.reason, codec::kReaderStopped);
    EXPECT_EQ(s.detail, "decoder: bad huffman table");
    // Silence leaves no detail; a read the caller stops has none either.
    EXPECT_EQ(load(named("crash.png"), settings, out).detail, "");
    settings.keepWaiting = [] { return false; };
    s = load(named("thinking.png"), settings, out);
    EXPECT_EQ(s.code, core::StatusCode::Cancelled);
    EXPECT_EQ(s.detail, "");
    // A read that succeeds carries nothing, whatever the reader said on the way.
    settings.keepWaiting = {};
    s = load(named("warn.png"), settings, out);
    EXPECT_TRUE(s.ok()) << s.reason;
    EXPECT_EQ(s.detail, "");
    EXPECT_TRUE(nothingLeft());
}

// One service reads file after file: each read is what the readers give in process, and none
// leaves a descriptor, a temporary or a child behind.
TEST_F(ContainedReader, ManyReadsInARowShareOneService) {
    const std::vector<std::string> names = {"formats/png_palette8_phys_indexed.png",
                                            "jpeg/flower_no_exif_cjpeg.jpg",
                                            "formats/tga_24bit_rle_CTC24.tga"};
    std::vector<std::string> paths;
    std::vector<Picture> expected(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        VELANOX_TEST_FILE(path, names[i]);
        paths.push_back(path);
        ASSERT_TRUE(codec::loadPictureFile(path, {}, expected[i]).ok()) << path;
    }
    Picture out;
    ASSERT_TRUE(load(paths[0], {}, out).ok());
    const pid_t service = codec::readerServiceProcess();
    ASSERT_GT(service, 0);
    const std::size_t descriptors = openDescriptors();
    for (int round = 0; round < 30; ++round) {
        const std::size_t i = std::size_t(round) % paths.size();
        const codec::Status s = load(paths[i], {}, out);
        ASSERT_TRUE(s.ok()) << paths[i] << ": " << s.reason;
        ASSERT_TRUE(samePicture(out, expected[i])) << paths[i];
    }
    EXPECT_EQ(codec::readerServiceProcess(), service);
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_TRUE(serviceHasNoChildren());
    EXPECT_TRUE(nothingLeft());
}

// Reads from several threads at once (the desktop's previews, the batch tool's jobs) each get
// their own picture, and one that fails does not disturb the others.
TEST_F(ContainedReader, ReadsAtTheSameTimeEachGetTheirOwnPicture) {
    VELANOX_TEST_FILE(png, "formats/png_palette8_interlaced_pil123p.png");
    VELANOX_TEST_FILE(jpeg, "jpeg/sony_dslr-a100_monochrome_ycbcr_exif.jpg");
    const std::string claim = m_files.file("claim.psd");
    test::writeBytes(claim, test::psdClaim(20000, 20000));
    Picture pngPicture, jpegPicture;
    ASSERT_TRUE(codec::loadPictureFile(png, {}, pngPicture).ok());
    ASSERT_TRUE(codec::loadPictureFile(jpeg, {}, jpegPicture).ok());
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 6; ++i) {
                Picture out;
                const int which = (t + i) % 3;
                const codec::Status s = load(which == 0 ? png : which == 1 ? jpeg : claim, {}, out);
                const bool right =
                    which == 2 ? s.reason == "Photoshop file: the file ends before "
                                             "its image data does."
                               : s.ok() && samePicture(out, which == 0 ? pngPicture : jpegPicture);
                if (!right) ++wrong;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(serviceHasNoChildren());
    EXPECT_TRUE(nothingLeft());
}

// A service that ends (killed between reads, or under a read) is replaced on the next read.
TEST_F(ContainedReader, AServiceThatEndsIsReplacedOnTheNextRead) {
    const std::string png = named("a.png");
    Picture out;
    ASSERT_TRUE(load(png, {}, out).ok());
    const pid_t first = codec::readerServiceProcess();
    ASSERT_GT(first, 0);
    ASSERT_EQ(::kill(first, SIGKILL), 0);
    codec::Status s = load(png, {}, out);
    EXPECT_TRUE(s.ok()) << s.reason;
    EXPECT_NE(codec::readerServiceProcess(), first);
    codec::stopReaderService();
    EXPECT_EQ(codec::readerServiceProcess(), -1);
    EXPECT_TRUE(load(png, {}, out).ok());

    codec::ContainedReading settings;
    settings.readerProgram = standIn();
    EXPECT_EQ(load(named("service.png"), settings, out).reason, codec::kReaderStopped);
    s = load(named("warn.png"), settings, out);
    EXPECT_TRUE(s.ok()) << s.reason;
    EXPECT_TRUE(nothingLeft());
}

// A child under the system-call filter, as every reader child is, cannot end the service.
TEST_F(ContainedReader, AFilteredChildCannotHarmTheService) {
    Picture out;
    codec::ContainedReading settings;
    settings.readerProgram = standIn();
    ASSERT_TRUE(load(named("warn.png"), settings, out).ok());
    const pid_t service = codec::readerServiceProcess();
    EXPECT_EQ(load(named("hostile.png"), settings, out).reason, codec::kReaderStopped);
    EXPECT_TRUE(load(named("warn.png"), settings, out).ok());
    EXPECT_EQ(codec::readerServiceProcess(), service);
}

TEST_F(ContainedReader, OnlyRegularFilesAreRead) {
    const std::string fifo = m_files.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Picture out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(load(fifo, {}, out).reason, "Not a regular file.");
    EXPECT_EQ(codec::loadPictureFile(fifo, {}, out).reason, "Not a regular file.");
    EXPECT_EQ(load(m_files.path().string(), {}, out).reason, "Not a regular file.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// ---- files written and read safely ------------------------------------------------------

TEST(SafeFiles, ReplacingALinkNeverWritesThroughIt) {
    test::ScratchFolder folder;
    const std::string victim = folder.file("victim"), link = folder.file("profile.cpf");
    test::writeBytes(victim, {1, 2, 3});
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_TRUE(files::writeFileAtomically(link, {9, 9}, files::LinkAtTarget::Replace).ok());
    EXPECT_EQ(test::fileBytes(victim), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(test::fileBytes(link), (std::vector<uint8_t>{9, 9}));
    // A picture saved over a link replaces the file it names, as before.
    ASSERT_EQ(::unlink(link.c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_TRUE(files::writeFileAtomically(link, {7}).ok());
    EXPECT_EQ(test::fileBytes(victim), (std::vector<uint8_t>{7}));
    EXPECT_TRUE(fs::is_symlink(link));
    // Nothing but the two names is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

TEST(SafeFiles, OnlyTemporariesOfThisProgramOnThisHostAreEverRemoved) {
    EXPECT_FALSE(files::isTemporaryFileName("a.jpg"));
    EXPECT_FALSE(files::isTemporaryFileName(".a.jpg.tmp"));
    EXPECT_FALSE(files::isTemporaryFileName(".a.jpg.velanox-0000abcd-12-0123.tmp"));
    EXPECT_TRUE(files::isTemporaryFileName(".a.jpg.velanox-0000abcd-12-0123456789abcdef.tmp"));
    test::ScratchFolder folder;
    // Another host's writer (its process ids mean nothing here), and names of others.
    const std::string stranger = folder.file(".a.jpg.velanox-zzzzzzzz-1-0123456789abcdef.tmp");
    const std::string other = folder.file(".a.jpg.tmp");
    test::writeBytes(stranger, {1});
    test::writeBytes(other, {1});
    ASSERT_TRUE(files::writeFileAtomically(folder.file("a.jpg"), {1}).ok());
    EXPECT_EQ(files::removeStaleTemporaries(folder.path().string()), 0);
    EXPECT_TRUE(fs::exists(stranger));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);
}

TEST(SafeFiles, OpeningNeverWaitsOnAPipe) {
    test::ScratchFolder folder;
    const std::string fifo = folder.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(files::readWholeFile(fifo, bytes).reason, "Not a regular file.");
    const std::string small = folder.file("small");
    test::writeBytes(small, {1, 2, 3, 4});
    EXPECT_EQ(files::readWholeFile(small, bytes, 3).code, core::StatusCode::TooLarge);
    ASSERT_TRUE(files::readWholeFile(small, bytes).ok());
    EXPECT_EQ(bytes.size(), 4u);
}

// ---- the memory budget -------------------------------------------------------------------

namespace budget {

// A small JPEG whose frame header claims width x height.
std::vector<uint8_t> jpegClaim(uint16_t width, uint16_t height) {
    Picture p;
    test::fillRgb(p, 16, 16, [](int x, int y) { return std::tuple{x * 9, y * 9, 100}; });
    std::vector<uint8_t> bytes;
    if (!codec::writeJpeg(p, bytes).ok()) return {};
    for (std::size_t i = 0; i + 8 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
            bytes[i + 5] = uint8_t(height >> 8);
            bytes[i + 6] = uint8_t(height);
            bytes[i + 7] = uint8_t(width >> 8);
            bytes[i + 8] = uint8_t(width);
            return bytes;
        }
    return {};
}

// 15 bytes a pixel, 16 a block pixel of at most 1000 x 1000, 100 MB fixed, 1 GB allowed.
codec::MemoryBudget oneGigabyte() {
    codec::MemoryBudget b;
    b.budgetBytes = uint64_t(1) << 30;
    b.fixedBytes = uint64_t(100) << 20;
    b.bytesPerPixel = 15;
    b.blockWidth = b.blockHeight = 1000;
    b.bytesPerBlockPixel = 16;
    return b;
}

long peakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

constexpr const char* kRefusal =
    "The picture (20000 x 20000, needs about 5.7 GB) is larger than the memory budget (1.0 GB).";

} // namespace budget

TEST(MemoryBudget, TheNeedCountsThePictureTheLargestBlockAndTheFixedPart) {
    const codec::MemoryBudget b = budget::oneGigabyte();
    const uint64_t fixed = uint64_t(100) << 20;
    // Smaller than a block: the block is the picture.
    EXPECT_EQ(b.need(200, 100), fixed + 200 * 100 * 15 + 200 * 100 * 16);
    // Larger: one whole block, however many there are.
    EXPECT_EQ(b.need(5000, 3000), fixed + 5000ull * 3000 * 15 + 1000ull * 1000 * 16);
    EXPECT_EQ(b.need(0, 3000), fixed);
    EXPECT_EQ(b.need(-4, -4), fixed);
    // Sizes beyond any header saturate instead of wrapping to a small need.
    EXPECT_EQ(b.need(INT64_MAX, INT64_MAX), UINT64_MAX);
    codec::MemoryBudget noBlock = b;
    noBlock.blockWidth = noBlock.blockHeight = 0; // the whole picture is the block
    EXPECT_EQ(noBlock.need(3000, 2000), fixed + 3000ull * 2000 * 31);

    EXPECT_EQ(codec::formatBytes(512), "512 bytes");
    EXPECT_EQ(codec::formatBytes(3 << 10), "3 KB");
    EXPECT_EQ(codec::formatBytes(uint64_t(750) << 20), "750 MB");
    EXPECT_EQ(codec::formatBytes(uint64_t(5) << 29), "2.5 GB");
}

TEST(MemoryBudget, APictureOverTheBudgetIsRefusedWithItsSizeAndTheBudget) {
    const codec::MemoryBudget b = budget::oneGigabyte();
    codec::Status s = codec::checkBudget(20000, 20000, b);
    EXPECT_EQ(s.code, core::StatusCode::TooLarge);
    EXPECT_EQ(s.reason, budget::kRefusal);
    // Just over (1.007 GB against 1 GB): one decimal would read alike, so two are given.
    s = codec::checkBudget(8000, 8000, b);
    EXPECT_EQ(s.reason, "The picture (8000 x 8000, needs about 1.01 GB) is larger than the "
                        "memory budget (1.00 GB).");
    codec::MemoryBudget exact = b;
    exact.budgetBytes = b.need(8000, 8000);
    EXPECT_TRUE(codec::checkBudget(8000, 8000, exact).ok());
    // No budget: nothing is refused for its memory.
    EXPECT_TRUE(codec::checkBudget(60000, 60000, codec::MemoryBudget{}).ok());
}

TEST(MemoryBudget, ReadersRefuseFromTheHeaderBeforeReserving) {
    codec::LoadRequest request;
    request.limits.budget = budget::oneGigabyte();
    const long before = budget::peakKilobytes();
    const std::pair<std::vector<uint8_t>, const char*> cases[] = {
        {test::pngZeroRows(20000, 20000, 1), "bomb.png"},
        {budget::jpegClaim(20000, 20000), "claim.jpg"},
    };
    for (const auto& [bytes, name] : cases) {
        ASSERT_FALSE(bytes.empty()) << name;
        Picture out;
        const auto start = std::chrono::steady_clock::now();
        const codec::Status s = codec::readPicture(span(bytes), name, request, out);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << name;
        EXPECT_EQ(s.code, core::StatusCode::TooLarge) << name;
        EXPECT_EQ(s.reason, budget::kRefusal) << name;
        EXPECT_FALSE(out.hasPixels()) << name;
    }
    // 20000 x 20000 decoded would be 1.2 GB.
    EXPECT_LT(budget::peakKilobytes() - before, 200L * 1024);

    // Pictures whose run fits read as before.
    Picture out;
    ASSERT_TRUE(
        codec::readPicture(span(test::pngZeroRows(2000, 2000, 2000)), "a.png", request, out).ok());
    EXPECT_EQ(out.width, 2000);
    const std::vector<uint8_t> small = budget::jpegClaim(16, 16);
    ASSERT_TRUE(codec::readPicture(span(small), "a.jpg", request, out).ok());
    EXPECT_EQ(out.height, 16);
}

TEST_F(ContainedReader, TheBudgetRefusesInTheChildAsInProcess) {
    const std::string png = m_files.file("bomb.png");
    test::writeBytes(png, test::pngZeroRows(20000, 20000, 1));
    const std::string jpg = m_files.file("claim.jpg");
    test::writeBytes(jpg, budget::jpegClaim(20000, 20000));
    codec::LoadRequest request;
    request.limits.budget = budget::oneGigabyte();
    codec::ContainedReading settings;
    settings.enabled = true;
    for (const std::string& path : {png, jpg}) {
        Picture out;
        const codec::Status s = codec::loadPictureContained(path, request, settings, out);
        EXPECT_EQ(s.code, core::StatusCode::TooLarge) << path;
        EXPECT_EQ(s.reason, budget::kRefusal) << path;
        EXPECT_FALSE(out.hasPixels());
    }
    // Picture::load with a budget goes the same way once contained reading is on.
    const codec::ContainedReading previous = codec::containedReading();
    codec::setContainedReading(settings);
    Picture viaLoad;
    const core::Status refused = viaLoad.load(png, budget::oneGigabyte());
    EXPECT_EQ(refused.code, core::StatusCode::TooLarge);
    EXPECT_EQ(refused.reason, budget::kRefusal);
    // A picture within the budget reads.
    const std::string fits = m_files.file("fits.png");
    test::writeBytes(fits, test::pngZeroRows(300, 200, 200));
    EXPECT_TRUE((viaLoad.load(fits, budget::oneGigabyte())).ok());
    EXPECT_EQ(viaLoad.width, 300);
    codec::setContainedReading(previous);
    EXPECT_TRUE(nothingLeft());
}

} // namespace
} // namespace velanox::codec
