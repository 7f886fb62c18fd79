// velanox-nr-cli driven as a program: its files against the core called directly with the
// same settings, its reports, its exit statuses and its handling of bad input.
#include "color/auto_levels.h"
#include "color/color_match_state.h"
#include "document/crop_rotate.h"
#include "document/csotavo_doc.h"
#include "document/document_files.h"
#include "document/jpeg_quality.h"
#include "document/load_source.h"
#include "document/save_document.h"
#include "support/hostile_files.h"
#include "support/recording_host.h"
#include "support/status_assert.h"
#include "support/test_images.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace velanox::cli {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempFolder;

struct CliRun {
    int exitCode = -1;
    std::string out, err;
};

/// Starts the tool with args, stdout and stderr into files of folder, standard input from
/// stdinPath when one is given; returns its pid.
pid_t startCli(const std::vector<std::string>& args, const TempFolder& folder,
               const std::string& stdinPath = {}) {
    std::vector<std::string> all{VELANOX_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = folder.file("stdout.txt"), err = folder.file("stderr.txt");
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!stdinPath.empty())
        posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(), O_RDONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

CliRun finishCli(pid_t pid, const TempFolder& folder) {
    CliRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.out = readBytes(folder.file("stdout.txt"));
    run.err = readBytes(folder.file("stderr.txt"));
    return run;
}

CliRun runCli(const std::vector<std::string>& args, const TempFolder& folder,
              const std::string& stdinPath = {}) {
    return finishCli(startCli(args, folder, stdinPath), folder);
}

/// A noisy scene written as a 24-bit picture file.
void writeNoisyPicture(const std::string& path, int width, int height, uint32_t seed) {
    const test::TestImage scene = test::makeNoisyScene(width, height, 14.0, seed);
    codec::Picture picture;
    ASSERT_TRUE(picture.allocate(width, height, 24).ok());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                picture.pixels()[(std::size_t(y) * width + x) * 3 + c] = scene.at(x, y, c);
    ASSERT_TRUE(test::succeeded(picture.save(path)));
}

/// The 24-bit pixels of a picture file; empty when it cannot be read.
std::vector<uint8_t> pixelsOf(const std::string& path, int* width = nullptr,
                              int* height = nullptr) {
    codec::Picture picture;
    if (!picture.load(path).ok()) return {};
    if (width) *width = picture.width;
    if (height) *height = picture.height;
    return {picture.pixels(), picture.pixels() + picture.pixelBytes()};
}

/// What Open, the panes and Save do in the program: load, set, save.
void saveThroughCore(const std::string& input, const std::string& output,
                     const std::function<void(document::CSotavoDoc&)>& set,
                     const document::DocumentSettings& settings = {}) {
    test::RecordingHost host;
    document::CSotavoDoc doc(host, settings);
    ASSERT_TRUE(document::loadSource(doc, input, false).loaded());
    set(doc);
    ASSERT_TRUE(document::onSaveDocument(doc, output).saved())
        << (host.messages.empty() ? "" : host.messages.front());
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

TEST(CliBinary, OutputIsWhatTheCoreWritesWithTheSameSettings) {
    TempFolder folder;
    const std::string in = folder.file("scene.png");
    writeNoisyPicture(in, 160, 120, 7);

    const CliRun run = runCli({"-q",
                               "--level",
                               "14.5",
                               "--mode",
                               "portrait",
                               "--sharpen",
                               "30",
                               "--black",
                               "6",
                               "--white",
                               "240",
                               "--temperature",
                               "-30",
                               "--ev",
                               "0.7",
                               "--boost",
                               "12",
                               "-o",
                               folder.file("cli.png"),
                               in},
                              folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");

    saveThroughCore(in, folder.file("core.png"), [](document::CSotavoDoc& doc) {
        doc.noise.noiseLevel = 14.5;
        doc.noise.nrMode = pipeline::kNrModePortrait;
        doc.noise.sharpenAmount = 30;
        doc.color.tone.blackPoint = 6;
        doc.color.tone.whitePoint = 240;
        doc.color.tone.gamma = color::gammaFromSlider(70);
        doc.color.tone.midtoneBend = 0.7;
        doc.color.tone.colorBoost = 12;
    });
    EXPECT_EQ(readBytes(folder.file("cli.png")), readBytes(folder.file("core.png")));
    // And the settings did something.
    EXPECT_NE(pixelsOf(folder.file("cli.png")), pixelsOf(in));
}

TEST(CliBinary, AutomaticModeIsTheCoresAndReportsItsEstimate) {
    TempFolder folder;
    const std::string in = folder.file("scene.png");
    writeNoisyPicture(in, 160, 120, 11);

    CliRun run = runCli({"--json", "--mode", "auto", "--strength", "80", "--chroma", "150", "-o",
                         folder.file("cli.png"), in},
                        folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    saveThroughCore(in, folder.file("core.png"), [](document::CSotavoDoc& doc) {
        doc.noise.nrMode = pipeline::kNrModeAuto;
        doc.noise.autoStrength = 80;
        doc.noise.autoChroma = 150;
    });
    EXPECT_EQ(readBytes(folder.file("cli.png")), readBytes(folder.file("core.png")));
    EXPECT_NE(pixelsOf(folder.file("cli.png")), pixelsOf(in));
    const auto objects = lines(run.out);
    ASSERT_EQ(objects.size(), 1u) << run.out;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(objects[0])).object();
    // The scene's noise is 14 per component.
    EXPECT_NEAR(o["noiseEstimate"].toDouble(), 14.0, 1.5) << objects[0];

    // Other modes measure nothing; --info always does, in its text and in JSON.
    run = runCli({"--json", "--overwrite", "-o", folder.file("cli.png"), in}, folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("noiseEstimate"), std::string::npos) << run.out;
    run = runCli({"--info", in}, folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("  Estimated noise: 1"), std::string::npos) << run.out;
    run = runCli({"--info", "--json", in}, folder);
    EXPECT_NE(run.out.find("\"noiseEstimate\":1"), std::string::npos) << run.out;
}

TEST(CliBinary, GeometryAndEngineOptionsReachTheDocument) {
    TempFolder folder;
    const std::string in = folder.file("scene.bmp");
    writeNoisyPicture(in, 150, 100, 11);

    const CliRun run = runCli({"-q",
                               "--mode",
                               "scanner",
                               "--level",
                               "9",
                               "--wavelet-levels",
                               "3",
                               "--no-sharpen",
                               "--auto-levels",
                               "--rotate",
                               "cw",
                               "--rotate",
                               "cw",
                               "--rotate",
                               "ccw",
                               "--crop",
                               "4:3,swap,zoom=1.25,offset=7:9",
                               "--max-block",
                               "40x30",
                               "--jpeg-quality",
                               "70",
                               "--no-enhanced-sampling",
                               "-o",
                               folder.file("cli.jpg"),
                               in},
                              folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    saveThroughCore(
        in, folder.file("core.jpg"),
        [](document::CSotavoDoc& doc) {
            document::rotateImage(doc.sourceImage, document::RotateDirection::Clockwise);
            doc.crop = document::CropState{true, 3, 1, 1.25, 7, 9, true}; // a window the person set

            doc.resultImage.copyFrom(doc.sourceImage);
            doc.noise.nrMode = pipeline::kNrModeScanner;
            doc.noise.noiseLevel = 9;
            doc.noise.nrLevels = 3;
            doc.noise.sharpenEdges = 0;
            // Auto levels look at the rotated, cropped picture, as the tool does.
            codec::Picture cropped;
            cropped.copyFrom(doc.sourceImage);
            document::CropState c = doc.crop;
            document::cropImage(cropped,
                                document::computeCropRect(c, cropped.width, cropped.height));
            const color::AutoLevels levels = color::autoLevels(
                core::ConstImageView(cropped.pixels(), cropped.width, cropped.height, 3));
            doc.color.tone.blackPoint = levels.black;
            doc.color.tone.whitePoint = levels.white;
        },
        document::DocumentSettings{70, 0, 8, pipeline::MemoryLimits{40, 30, 2000, 2000}, {}});
    int w = 0, h = 0;
    const auto cli = pixelsOf(folder.file("cli.jpg"), &w, &h);
    EXPECT_EQ(cli, pixelsOf(folder.file("core.jpg")));
    // Turned once clockwise (portrait), the window turned against it (landscape 4:3).
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 60);
}

TEST(CliBinary, DiagnosticOutputWindowIsWrittenAsShown) {
    TempFolder folder;
    const std::string in = folder.file("scene.png");
    writeNoisyPicture(in, 96, 64, 3);
    const CliRun run = runCli({"-q", "--output-window", "edges", "--edge-threshold", "40", "-o",
                               folder.file("edges.png"), in},
                              folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    test::RecordingHost host;
    document::CSotavoDoc doc(host);
    ASSERT_TRUE(document::loadSource(doc, in, false).loaded());
    doc.display.outputWindowMode = pipeline::kOutputHighlightEdges;
    doc.noise.edgeThreshold = 40;
    ASSERT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Done);
    ASSERT_TRUE(document::writeResultImage(doc, folder.file("core.png")).ok());
    EXPECT_EQ(readBytes(folder.file("edges.png")), readBytes(folder.file("core.png")));
    EXPECT_NE(pixelsOf(folder.file("edges.png")), pixelsOf(in));
}

TEST(CliBinary, RegionLeavesTheOutsideUntouched) {
    TempFolder folder;
    const std::string in = folder.file("scene.png");
    const int W = 120, H = 90;
    writeNoisyPicture(in, W, H, 5);
    const CliRun run = runCli(
        {"-q", "--level", "15", "--region", "20,10,70,50", "-o", folder.file("r.png"), in}, folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    int w = 0, h = 0;
    const auto src = pixelsOf(in);
    const auto out = pixelsOf(folder.file("r.png"), &w, &h);
    ASSERT_EQ(w, W);
    ASSERT_EQ(h, H);
    int changedInside = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c) {
                const std::size_t i = (std::size_t(y) * W + x) * 3 + c;
                const bool inside = x >= 20 && x < 70 && y >= 10 && y < 50;
                if (!inside)
                    ASSERT_EQ(out[i], src[i]) << x << "," << y;
                else
                    changedInside += out[i] != src[i];
            }
    EXPECT_GT(changedInside, 50 * 40);
}

TEST(CliBinary, ParallelJobsWriteTheSameBytesAsOneJob) {
    TempFolder folder;
    fs::create_directories(folder.path() / "in" / "sub");
    for (int i = 0; i < 4; ++i)
        writeNoisyPicture(folder.file("in/p" + std::to_string(i) + ".png"), 90 + 10 * i, 70,
                          uint32_t(20 + i));
    writeNoisyPicture(folder.file("in/sub/deep.tga"), 64, 48, 30);
    test::writeBytes(folder.file("in/notes.txt"), "not a picture");

    const CliRun one =
        runCli({"-q", "-r", "-j", "1", "-o", folder.file("one"), folder.file("in")}, folder);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    const CliRun many =
        runCli({"-q", "-r", "-j", "3", "-o", folder.file("many"), folder.file("in")}, folder);
    ASSERT_EQ(many.exitCode, 0) << many.err;

    for (const char* name :
         {"p0_NR.png", "p1_NR.png", "p2_NR.png", "p3_NR.png", "sub/deep_NR.tga"}) {
        const std::string a = readBytes(folder.file(std::string("one/") + name));
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, readBytes(folder.file(std::string("many/") + name))) << name;
    }
    EXPECT_FALSE(fs::exists(folder.path() / "one" / "notes_NR.jpg"));
}

TEST(CliBinary, JsonLinesParseAndBadFilesAreReportedAndSkipped) {
    TempFolder folder;
    const std::string good = folder.file("good.png");
    writeNoisyPicture(good, 64, 48, 1);
    const std::string full = readBytes(good);
    test::writeBytes(folder.file("cut.png"), full.substr(0, full.size() / 3));
    test::writeBytes(folder.file("text.jpg"), "hello \"quoted\"\n\x01 world");
    const std::string weird = folder.file("we\"ird\\na\tme.png");
    fs::copy_file(good, weird);

    const CliRun run = runCli({"--json", "-j", "2", folder.file("cut.png"), good,
                               folder.file("text.jpg"), weird, folder.file("missing.png")},
                              folder);
    EXPECT_EQ(run.exitCode, 1);
    // The missing input is named on stderr; the others each have a JSON line.
    EXPECT_NE(run.err.find("missing.png"), std::string::npos);
    const auto objects = lines(run.out);
    ASSERT_EQ(objects.size(), 4u) << run.out;
    int done = 0, failed = 0;
    for (const std::string& line : objects) {
        QJsonParseError error;
        const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        const QJsonObject o = json.object();
        for (const char* key :
             {"input", "output", "width", "height", "format", "seconds", "status", "message"})
            EXPECT_TRUE(o.contains(key)) << key << " in " << line;
        const std::string input = o["input"].toString().toStdString();
        const std::string status = o["status"].toString().toStdString();
        if (input == good || input == weird) {
            EXPECT_EQ(status, "done") << line;
            EXPECT_EQ(o["width"].toInt(), 64);
            EXPECT_EQ(o["format"].toString(), "PNG");
            EXPECT_TRUE(fs::exists(o["output"].toString().toStdString()));
            ++done;
        } else {
            EXPECT_EQ(status, "failed") << line;
            EXPECT_TRUE(o["output"].isNull());
            EXPECT_FALSE(o["message"].toString().isEmpty());
            // Each failure is named with its reason on stderr too.
            EXPECT_NE(run.err.find(input + ": cannot read"), std::string::npos) << run.err;
            ++failed;
        }
    }
    EXPECT_EQ(done, 2);
    EXPECT_EQ(failed, 2);
    EXPECT_FALSE(fs::exists(folder.file("cut_NR.png")));
    EXPECT_FALSE(fs::exists(folder.file("text_NR.jpg")));
}

TEST(CliBinary, ExitStatusesAndUsageErrors) {
    TempFolder folder;
    const std::string in = folder.file("a.png");
    writeNoisyPicture(in, 40, 30, 2);

    CliRun run = runCli({"-q", in}, folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(folder.file("a_NR.png")));

    run = runCli({"--boost", "101", in}, folder);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "velanox-nr-cli: --boost: expected a whole number in 0..100, got \"101\"\n");

    run = runCli({"--help"}, folder);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("--target-size"), std::string::npos);

    run = runCli({"-q", folder.file("nothing-here")}, folder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("nothing-here"), std::string::npos);

    // An empty folder holds nothing to do, which is not success.
    fs::create_directories(folder.path() / "empty");
    run = runCli({"-q", folder.file("empty")}, folder);
    EXPECT_EQ(run.exitCode, 1);
}

TEST(CliBinary, PicturesOverTheMemoryBudgetAreRefusedAndTheOthersDone) {
    TempFolder folder;
    // A header claiming 20000 x 20000: a run would need about 4.3 GB.
    const std::string bomb = folder.file("bomb.png");
    const std::vector<uint8_t> bytes = test::pngZeroRows(20000, 20000, 1);
    test::writeBytes(bomb, std::string(bytes.begin(), bytes.end()));
    const std::string small = folder.file("small.png");
    writeNoisyPicture(small, 40, 30, 2);
    CliRun run = runCli({"-j", "1", "--json", "--max-memory", "1024", bomb, small}, folder);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.out.find("The picture (20000 x 20000, needs about 4.3 GB) is larger than the "
                           "memory budget (1.0 GB)."),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists(folder.file("bomb_NR.png")));
    EXPECT_TRUE(fs::exists(folder.file("small_NR.png")));
    // The files processed at once share the budget.
    run = runCli({"-q", "-j", "2", "--max-memory", "2048", bomb, small}, folder);
    EXPECT_NE(run.err.find("the memory budget (1.0 GB)"), std::string::npos) << run.err;
    // A result saved as a TIFF file is made whole in memory at 3 bytes a pixel before it is
    // written, a Targa file through ImageMagick's 16-bit pixels: the reckoning counts them.
    run = runCli({"-q", "-j", "1", "--format", "tif", "--max-memory", "1024", bomb}, folder);
    EXPECT_NE(run.err.find("needs about 5.1 GB"), std::string::npos) << run.err;
    run = runCli({"-q", "-j", "1", "--format", "tga", "--max-memory", "1024", bomb}, folder);
    EXPECT_NE(run.err.find("needs about 11.4 GB"), std::string::npos) << run.err;
}

TEST(CliBinary, ExistingOutputsAreKeptUnlessOverwriteIsGiven) {
    TempFolder folder;
    const std::string in = folder.file("a.png");
    writeNoisyPicture(in, 40, 30, 2);
    test::writeBytes(folder.file("a_NR.png"), "keep me");

    CliRun run = runCli({in}, folder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("exists"), std::string::npos);
    EXPECT_EQ(readBytes(folder.file("a_NR.png")), "keep me");

    run = runCli({"-q", "--overwrite", in}, folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(pixelsOf(folder.file("a_NR.png")).empty());

    // Two inputs that would write one file: the second is not processed over the first.
    writeNoisyPicture(folder.file("b.png"), 40, 30, 3);
    writeNoisyPicture(folder.file("b.bmp"), 40, 30, 4);
    run = runCli({"-q", "--format", "tif", "-o", folder.file("out"), folder.file("b.png"),
                  folder.file("b.bmp")},
                 folder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(folder.file("b.bmp") + ": "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("same output"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder.file("out/b_NR.tif")));
}

// Running -r again over a tree that holds the first run's results processes the sources again,
// not the results: no NAME_NR_NR appears.
TEST(CliBinary, ASecondRunOverAFolderLeavesTheResultsAlone) {
    TempFolder folder;
    fs::create_directories(folder.path() / "shots" / "day2");
    writeNoisyPicture(folder.file("shots/a.png"), 40, 30, 2);
    writeNoisyPicture(folder.file("shots/day2/b.png"), 40, 30, 3);
    CliRun run = runCli({"-q", "-r", folder.file("shots")}, folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(fs::exists(folder.file("shots/a_NR.png")));
    ASSERT_TRUE(fs::exists(folder.file("shots/day2/b_NR.png")));

    run = runCli({"-r", "--overwrite", "--json", folder.file("shots")}, folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(lines(run.out).size(), 2u) << run.out;
    EXPECT_FALSE(fs::exists(folder.file("shots/a_NR_NR.png")));
    EXPECT_FALSE(fs::exists(folder.file("shots/day2/b_NR_NR.png")));

    // Named on the command line, a result is processed like any file.
    run = runCli({"-q", folder.file("shots/a_NR.png")}, folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(folder.file("shots/a_NR_NR.png")));
}

TEST(CliBinary, EngineMessagesAreTheFailureReason) {
    TempFolder folder;
    const std::string in = folder.file("a.png");
    writeNoisyPicture(in, 128, 96, 2);
    // High Noise mode multiplies the level by four, beyond what the engine takes.
    const CliRun run = runCli({"--mode", "high-noise", "--level", "30", in}, folder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(in + ": Invalid parameter given"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder.file("a_NR.png")));
}

TEST(CliBinary, ProfileMatchIsTheCoreMatch) {
    TempFolder folder;
    const std::string in = folder.file("a.png"), ref = folder.file("ref.png");
    writeNoisyPicture(in, 80, 60, 2);
    writeNoisyPicture(ref, 70, 50, 9);
    CliRun run = runCli({"-q", "--match-image", ref, "--save-profile", folder.file("p.cpf"),
                         "--fade", "40", "-o", folder.file("m1.png"), in},
                        folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = runCli({"-q", "--match-profile", folder.file("p.cpf"), "--fade", "40", "-o",
                  folder.file("m2.png"), in},
                 folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    color::ColorMatchState match;
    saveThroughCore(in, folder.file("core.png"), [&](document::CSotavoDoc& doc) {
        ASSERT_TRUE(match.readProfile(folder.file("p.cpf")).ok());
        doc.color.match.matchActive = 2;
        doc.color.match.matchFade = 40;
        doc.color.match.matchTables = match.buildMatchToProfile(core::ConstImageView(
            doc.sourceImage.pixels(), doc.sourceImage.width, doc.sourceImage.height, 3));
    });
    // The profile holds the full reference's statistics: the same tables as the image match.
    EXPECT_EQ(readBytes(folder.file("m2.png")), readBytes(folder.file("core.png")));
    EXPECT_EQ(readBytes(folder.file("m1.png")), readBytes(folder.file("core.png")));
}

TEST(CliBinary, InfoDescribesWithoutWriting) {
    TempFolder folder;
    const std::string in = folder.file("a.png");
    writeNoisyPicture(in, 40, 30, 2);
    const CliRun run = runCli({"--info", in}, folder);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("40 x 30"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("PNG"), std::string::npos);
    EXPECT_NE(run.out.find("No EXIF"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder.file("a_NR.png")));
}

TEST(CliBinary, InterruptStopsCleanly) {
    TempFolder folder;
    // Enough pictures that the run is still going when the first is done, however fast the
    // machine: the interrupt is sent once the first result has been reported.
    std::vector<std::string> args{"-j", "1", "--level", "12", "-o", folder.file("out")};
    writeNoisyPicture(folder.file("big0.png"), 1600, 1200, 4);
    for (int i = 0; i < 16; ++i) {
        const std::string name = folder.file("big" + std::to_string(i) + ".png");
        if (i > 0) fs::copy_file(folder.file("big0.png"), name);
        args.push_back(name);
    }
    const pid_t pid = startCli(args, folder);
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (readBytes(folder.file("stderr.txt")).find("->") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGINT);
    const CliRun run = finishCli(pid, folder);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("cancelled"), std::string::npos) << run.err;
    // Nothing half-written: the output is either complete or absent, and no temporary is left.
    for (const auto& entry : fs::directory_iterator(folder.file("out"))) {
        EXPECT_EQ(entry.path().filename().string().rfind("big", 0), 0u) << entry.path();
        EXPECT_FALSE(pixelsOf(entry.path().string()).empty());
    }
}

// Killed at any moment (SIGKILL: no clean-up runs), a run leaves the target holding either the
// old file or the complete new one: the new picture is written to a hidden temporary file beside
// the target and renamed over it only when complete.
TEST(CliBinary, AKilledRunNeverLeavesAPartialOutput) {
    TempFolder folder;
    writeNoisyPicture(folder.file("big.png"), 3000, 2000, 7);
    const std::string target = folder.file("out.png");
    writeNoisyPicture(target, 64, 48, 1);
    std::string previous = readBytes(target);
    int replaced = 0;
    for (int delay : {30, 150, 400, 700, 1000, 1400, 2000, 2800}) {
        const pid_t pid =
            startCli({"-q", "--overwrite", "-o", target, folder.file("big.png")}, folder);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        const std::string now = readBytes(target);
        if (now == previous) continue;
        int width = 0, height = 0;
        ASSERT_FALSE(pixelsOf(target, &width, &height).empty())
            << "killed after " << delay << " ms: the target is damaged";
        EXPECT_EQ(width, 3000);
        EXPECT_EQ(height, 2000);
        previous = now;
        ++replaced;
    }
    RecordProperty("runs_that_completed_before_the_kill", replaced);
}

TEST(CliBinary, RealCameraJpegMatchesTheCoreAndKeepsItsExif) {
    VELANOX_TEST_FILE(in, "jpeg/canon_powershot_sx150is_orient6.jpg");
    TempFolder folder;
    const CliRun run =
        runCli({"-q", "--target-size", "same", "-o", folder.file("cli.jpg"), in}, folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    test::RecordingHost host;
    document::CSotavoDoc doc(host);
    ASSERT_TRUE(document::loadSource(doc, in, false).loaded());
    doc.jpeg.jpegQualitySetting = document::suggestedQualitySetting(
        document::sourceDataSize(doc.sourceFile.sourceFileSize, doc.sourceFile.exifCopyLength()),
        document::jpegSizeEstimator(doc.sourceImage, true));
    ASSERT_TRUE(document::onSaveDocument(doc, folder.file("core.jpg")).saved());
    EXPECT_EQ(readBytes(folder.file("cli.jpg")), readBytes(folder.file("core.jpg")));

    codec::Picture written;
    ASSERT_TRUE(written.load(folder.file("cli.jpg")).ok());
    EXPECT_FALSE(written.info.exifBlock.empty());
    EXPECT_EQ(written.width, doc.sourceImage.width);
}

TEST(CliBinary, InputsFromFileListsAndStandardInput) {
    TempFolder folder;
    for (const char* name : {"a.png", "b.png", "c d.png"})
        writeNoisyPicture(folder.file(name), 48, 32, 6);
    // One list on standard input, NUL-separated as find -print0 writes it, one in a file; a
    // name given twice is done once.
    const std::string nulList =
        folder.file("a.png") + std::string(1, '\0') + folder.file("c d.png") + std::string(1, '\0');
    test::writeBytes(folder.file("stdin.lst"), nulList);
    test::writeBytes(folder.file("more.lst"),
                     folder.file("b.png") + "\r\n\n" + folder.file("a.png"));
    CliRun run = runCli({"--json", "-o", folder.file("out"), "--files-from", "-", "--files-from",
                         folder.file("more.lst")},
                        folder, folder.file("stdin.lst"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(lines(run.out).size(), 3u) << run.out;
    for (const char* name : {"out/a_NR.png", "out/b_NR.png", "out/c d_NR.png"})
        EXPECT_FALSE(pixelsOf(folder.file(name)).empty()) << name;

    // Started again, the job finds its outputs done and writes nothing; a list that cannot be
    // read is named and the status says something failed.
    run = runCli({"-o", folder.file("out"), "--files-from", folder.file("more.lst"), "--files-from",
                  folder.file("absent.lst")},
                 folder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(folder.file("absent.lst") + ": cannot read the file list"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("exists"), std::string::npos) << run.err;
}

TEST(CliBinary, ArgumentsWithSpacesAndDecimalsReachTheJobIntact) {
    // Every argument reaches the job as given: a value with a decimal point, a file name with a
    // space, an output in the folder.
    TempFolder folder;
    const std::string in = folder.file("with space.png");
    writeNoisyPicture(in, 64, 48, 3);
    const CliRun run = runCli({"--level", "9.5", "-o", folder.file("out.png"), in}, folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(pixelsOf(folder.file("out.png")).empty());
    EXPECT_NE(run.err.find("with space.png"), std::string::npos) << run.err;
}

} // namespace
} // namespace velanox::cli
