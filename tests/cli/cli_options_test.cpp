#include "cli/cli_options.h"
#include "cli/cli_ranges.h"
#include "codec/contained_reader.h"
#include "color/match_tables.h"

#include <gtest/gtest.h>

namespace velanox::cli {
namespace {

ParseResult parse(std::vector<std::string> args) {
    return parseCommandLine(args, 3);
}

TEST(CliOptions, DefaultsAreTheDocumentDefaults) {
    const ParseResult r = parse({"in.jpg"});
    ASSERT_TRUE(r.ok()) << r.error;
    const CliOptions& o = r.options;
    const pipeline::NoiseSettings noise;
    EXPECT_EQ(o.noise.noiseLevel, noise.noiseLevel);
    EXPECT_EQ(o.noise.nrLevels, noise.nrLevels);
    EXPECT_EQ(o.noise.sharpenAmount, noise.sharpenAmount);
    EXPECT_EQ(o.noise.advancedProcessing, 1);
    EXPECT_EQ(o.noise.sharpenEdges, 1);
    EXPECT_FALSE(color::ToneValues(o.tone).toneActive());
    EXPECT_EQ(o.jpegQuality, 92);
    EXPECT_EQ(o.enhancedSampling, 1);
    EXPECT_EQ(o.memory.MaxBlockW, 3100);
    EXPECT_EQ(o.memory.MaxSwapH, 2000);
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.inputs, std::vector<std::string>{"in.jpg"});
}

TEST(CliOptions, ValuesReachTheirSettings) {
    const ParseResult r = parse({"--level=12.5",
                                 "--mode",
                                 "scanner",
                                 "--wavelet-levels",
                                 "3",
                                 "--no-advanced",
                                 "--no-sharpen",
                                 "--sharpen",
                                 "40",
                                 "--edge-threshold",
                                 "255",
                                 "--output-window",
                                 "edges",
                                 "--black",
                                 "250",
                                 "--white",
                                 "3",
                                 "--ev",
                                 "-4",
                                 "--boost",
                                 "100",
                                 "--fade",
                                 "255",
                                 "--jpeg-quality",
                                 "40",
                                 "--no-enhanced-sampling",
                                 "--max-block",
                                 "64x32",
                                 "--max-swap",
                                 "10X20",
                                 "-j4",
                                 "-o",
                                 "out",
                                 "a",
                                 "b"});
    ASSERT_TRUE(r.ok()) << r.error;
    const CliOptions& o = r.options;
    EXPECT_EQ(o.noise.noiseLevel, 12.5);
    EXPECT_EQ(o.noise.nrMode, pipeline::kNrModeScanner);
    EXPECT_EQ(o.noise.nrLevels, 3);
    EXPECT_EQ(o.noise.advancedProcessing, 0);
    EXPECT_EQ(o.noise.sharpenEdges, 0);
    EXPECT_EQ(o.noise.sharpenAmount, 40);
    EXPECT_EQ(o.noise.edgeThreshold, 255);
    EXPECT_EQ(o.outputWindowMode, pipeline::kOutputHighlightEdges);
    EXPECT_EQ(o.tone.blackPoint, 250);
    EXPECT_EQ(o.tone.whitePoint, 3);
    EXPECT_EQ(o.tone.midtoneBend, -4.0);
    EXPECT_EQ(o.tone.colorBoost, 100);
    EXPECT_EQ(o.matchFade, 255);
    EXPECT_EQ(o.jpegQuality, 40);
    EXPECT_EQ(o.enhancedSampling, 0);
    EXPECT_EQ(o.memory.MaxBlockW, 64);
    EXPECT_EQ(o.memory.MaxBlockH, 32);
    EXPECT_EQ(o.memory.MaxSwapW, 10);
    EXPECT_EQ(o.memory.MaxSwapH, 20);
    EXPECT_EQ(o.jobs, 4);
    EXPECT_EQ(o.output, "out");
    EXPECT_EQ(o.inputs.size(), 2u);
}

TEST(CliOptions, TheMemoryBudgetCoversTheWholeRun) {
    ParseResult r = parse({"in.jpg"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.memory.budgetBytes, codec::defaultMemoryBudget());
    // Without colour steps or the automatic mode a run keeps no pre-reduction copy.
    EXPECT_TRUE(r.options.memory.runsWithoutCopy);

    r = parse({"--max-memory", "4096", "in.jpg"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.maxMemoryMiB, 4096);
    EXPECT_EQ(r.options.memory.budgetBytes, uint64_t(4096) << 20);

    for (const std::vector<std::string>& copying : {std::vector<std::string>{"--mode", "auto"},
                                                    {"--boost", "10"},
                                                    {"--auto-levels"},
                                                    {"--black", "5"},
                                                    {"--ev", "0.5"},
                                                    {"--match-profile", "a.cpf"}}) {
        std::vector<std::string> args = copying;
        args.push_back("in.jpg");
        r = parse(args);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_FALSE(r.options.memory.runsWithoutCopy) << copying.front();
    }

    r = parse({"--max-memory", "100", "in.jpg"});
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find("--max-memory"), std::string::npos) << r.error;
    r = parse({"--max-memory", "-5", "in.jpg"});
    EXPECT_FALSE(r.ok());
}

TEST(CliOptions, TemperatureIsTheSliderMapping) {
    // Centre: exactly 1.0, so the tone step stays off.
    auto r = parse({"--temperature", "0", "x"});
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.options.tone.toneActive());
    r = parse({"--temperature", "-100", "x"});
    EXPECT_EQ(r.options.tone.gamma, color::gammaFromSlider(0));
    EXPECT_NEAR(r.options.tone.gamma, 0.6f, 1e-6);
    r = parse({"--temperature", "25", "x"});
    EXPECT_NEAR(r.options.tone.gamma, 1.1f, 1e-6);
}

TEST(CliOptions, AutomaticModeAndItsStrengths) {
    ParseResult r = parse({"--mode", "AUTO", "in.jpg"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.noise.nrMode, pipeline::kNrModeAuto);
    EXPECT_EQ(r.options.noise.autoStrength, engine::kAutoStrengthRange.defaultValue);
    EXPECT_EQ(r.options.noise.autoChroma, engine::kAutoColorStrengthRange.defaultValue);
    r = parse({"--mode=auto", "--strength", "0", "--chroma=400", "in.jpg"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.noise.autoStrength, 0);
    EXPECT_EQ(r.options.noise.autoChroma, 400);
    // The help names the mode and both options.
    for (const char* word : {"|auto", "--strength P", "--chroma P"})
        EXPECT_NE(usageText().find(word), std::string::npos) << word;
}

TEST(CliOptions, UsageErrorsNameTheOptionAndWhatItAccepts) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{"--level", "100.5", "x"}, "--level: expected a number in 0..100, got \"100.5\""},
        {{"--level", "nan", "x"}, "--level: expected a number in 0..100"},
        {{"--sharpen", "8.5", "x"}, "--sharpen: expected a whole number in 0..100"},
        {{"--edge-threshold", "256", "x"}, "--edge-threshold: expected a whole number in 0..255"},
        {{"--wavelet-levels", "1", "x"}, "--wavelet-levels: expected a whole number in 2..5"},
        {{"--temperature", "101", "x"}, "--temperature: expected a whole number in -100..100"},
        {{"--ev", "4.01", "x"}, "--ev: expected a number in -4..4"},
        {{"--gamma", "2", "x"}, "--gamma: expected a number in 0.6..1.4"},
        {{"--jpeg-quality", "39", "x"}, "--jpeg-quality: expected a whole number in 40..100"},
        {{"--mode", "night", "x"},
         "--mode: expected one of default|nature|portrait|high-noise|scanner|auto"},
        {{"--strength", "401", "x"}, "--strength: expected a whole number in 0..400"},
        {{"--chroma", "-1", "x"}, "--chroma: expected a whole number in 0..400"},
        {{"--format", "gif", "x"},
         "--format: expected one of bmp|jpg|png|psd|tga|tif|webp|avif|jxl"},
        {{"--rotate", "left", "x"}, "--rotate: expected one of cw|ccw"},
        {{"--max-block", "0x10", "x"}, "--max-block: expected WxH"},
        {{"--region", "5,5,5,9", "x"}, "--region: expected L,T,R,B"},
        {{"--region", "1,2,3", "x"}, "--region: expected L,T,R,B"},
        {{"--target-size", "0", "x"}, "--target-size: expected same or a byte count"},
        {{"--crop", "square,zoom=4", "x"}, "--crop: expected ASPECT"},
        {{"-j", "0", "x"}, "-j, --jobs: expected a whole number in 1..256"},
        {{"x", "--level"}, "--level: needs a value: a number in 0..100"},
        {{"--json=yes", "x"}, "--json: takes no value"},
        {{"--lvl", "3", "x"}, "--lvl: unknown option"},
        {{"--level", "3"}, "no INPUT given"},
        {{"--match-image", "a", "--match-profile", "b.cpf", "x"}, "--match-image and"},
        {{"--save-profile", "p.cpf", "x"}, "--save-profile: needs --match-image"},
    };
    for (const Case& c : cases) {
        const ParseResult r = parse(c.args);
        EXPECT_FALSE(r.ok()) << c.args.front();
        EXPECT_EQ(r.error.rfind(c.expected, 0), 0u) << r.error;
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
    }
}

TEST(CliOptions, CropAspectsByIndexRatioAndName) {
    EXPECT_EQ(cropAspectFromText("0"), 0);
    EXPECT_EQ(cropAspectFromText("8"), 8);
    EXPECT_EQ(cropAspectFromText("9"), std::nullopt);
    EXPECT_EQ(cropAspectFromText("square"), 0);
    EXPECT_EQ(cropAspectFromText("3:1"), 1);
    EXPECT_EQ(cropAspectFromText("3:2"), 2);
    EXPECT_EQ(cropAspectFromText("4:3"), 3);
    EXPECT_EQ(cropAspectFromText("11.75:8.25"), 6);
    EXPECT_EQ(cropAspectFromText("16:9"), 7);
    EXPECT_EQ(cropAspectFromText("Widescreen (16:9)"), 7);
    EXPECT_EQ(cropAspectFromText("KEEP"), 8);
    EXPECT_EQ(cropAspectFromText("2:3"), std::nullopt);

    const ParseResult r = parse({"--crop", "3:2,swap,zoom=2.5,offset=10:20", "x"});
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_TRUE(r.options.crop);
    EXPECT_EQ(r.options.crop->aspect, 2);
    EXPECT_TRUE(r.options.crop->swap);
    EXPECT_EQ(r.options.crop->zoom, 2.5);
    EXPECT_EQ(r.options.crop->offsetX, 10);
    EXPECT_EQ(r.options.crop->offsetY, 20);
}

TEST(CliOptions, RotationsKeepTheirOrderAndDashDashEndsOptions) {
    const ParseResult r =
        parse({"--rotate", "cw", "--rotate", "CCW", "--rotate", "cw", "--", "-odd-name.jpg"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.rotations,
              (std::vector<document::RotateDirection>{document::RotateDirection::Clockwise,
                                                      document::RotateDirection::CounterClockwise,
                                                      document::RotateDirection::Clockwise}));
    EXPECT_EQ(r.options.inputs, std::vector<std::string>{"-odd-name.jpg"});
}

} // namespace
} // namespace velanox::cli

namespace velanox::cli {
namespace {

TEST(CliOptions, FileListsStandInForInputs) {
    ParseResult r = parse({"--files-from", "a.txt", "--files-from=-", "-q"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.fileLists, (std::vector<std::string>{"a.txt", "-"}));
    EXPECT_TRUE(r.options.inputs.empty());
    EXPECT_TRUE(r.options.quiet);

    r = parse({"x", "--files-from"});
    EXPECT_EQ(r.error, "--files-from: needs a value");
}

TEST(CliOptions, ShortAndLongFormsAsGiven) {
    // Flags cluster, values attach, and a message names the form that was typed.
    ParseResult r = parse({"-rq", "-j2", "-oout", "--", "--level"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(r.options.recursive);
    EXPECT_TRUE(r.options.quiet);
    EXPECT_EQ(r.options.jobs, 2);
    EXPECT_EQ(r.options.output, "out");
    EXPECT_EQ(r.options.inputs, std::vector<std::string>{"--level"});

    EXPECT_EQ(parse({"--jobs", "0", "x"}).error,
              "--jobs: expected a whole number in 1..256, got \"0\"");
    EXPECT_EQ(parse({"x", "-o"}).error, "-o, --output: needs a value");
    // A value may look like an option or a negative number: the option takes the next word.
    EXPECT_EQ(parse({"--level", "--mode", "x"}).error,
              "--level: expected a number in 0..100, got \"--mode\"");
    r = parse({"--temperature", "-30", "--ev=-1.5", "x"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.tone.midtoneBend, -1.5);
}

TEST(CliOptions, TheFirstFaultInTheOrderGivenIsReported) {
    EXPECT_EQ(parse({"--nope", "--level", "500", "x"}).error,
              "--nope: unknown option (see --help)");
    EXPECT_EQ(parse({"--level", "500", "--nope", "x"}).error,
              "--level: expected a number in 0..100, got \"500\"");
    EXPECT_EQ(parse({"-z", "x", "--level"}).error, "-z: unknown option (see --help)");
    EXPECT_EQ(parse({"--nope=3", "x"}).error, "--nope: unknown option (see --help)");
    // An empty attached value is judged, not filled from the next word.
    EXPECT_EQ(parse({"--output=", "a", "b"}).error,
              "--output: expected a file or folder path, got \"\"");
}

} // namespace
} // namespace velanox::cli
