#include "cli/cli_options.h"

#include "cli/cli_ranges.h"
#include "codec/contained_reader.h"
#include "color/match_tables.h"
#include "document/source_file_state.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string_view>

namespace velanox::cli {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string numberText(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

std::optional<int64_t> toInteger(std::string_view text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::optional<double> toReal(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Every handler returns what the option accepts when the value is not acceptable, and an empty
// string when it took the value.
using Handler = std::function<std::string(CliOptions&, const std::string&)>;

template <class T> std::string integerInto(T& target, const std::string& text, T low, T high) {
    const auto v = toInteger(text);
    if (!v || *v < low || *v > high)
        return "a whole number in " + std::to_string(low) + ".." + std::to_string(high);
    target = T(*v);
    return {};
}

template <class T> std::string realInto(T& target, const std::string& text, T low, T high) {
    const auto v = toReal(text);
    if (!v || *v < double(low) || *v > double(high))
        return "a number in " + numberText(double(low)) + ".." + numberText(double(high));
    target = T(*v);
    return {};
}

template <class T>
std::string integerInto(T& target, const std::string& text, core::ParamRange<T> r) {
    return integerInto(target, text, r.minimum, r.maximum);
}

template <class T> std::string realInto(T& target, const std::string& text, core::ParamRange<T> r) {
    return realInto(target, text, r.minimum, r.maximum);
}

/// One of a fixed list of words; index into the list.
std::string choiceInto(int32_t& target, const std::string& text,
                       std::initializer_list<const char*> words) {
    int32_t i = 0;
    std::string accepted;
    for (const char* w : words) {
        if (lower(text) == w) {
            target = i;
            return {};
        }
        accepted += (i == 0 ? "" : "|");
        accepted += w;
        ++i;
    }
    return "one of " + accepted;
}

/// "WxH" with both sides in the memory range.
std::string sizeInto(int32_t& w, int32_t& h, const std::string& text) {
    const std::string accepted = "WxH with each side in " +
                                 std::to_string(kMemorySideRange.minimum) + ".." +
                                 std::to_string(kMemorySideRange.maximum);
    const auto x = lower(text).find('x');
    if (x == std::string::npos) return accepted;
    const auto a = toInteger(std::string_view(text).substr(0, x));
    const auto b = toInteger(std::string_view(text).substr(x + 1));
    if (!a || !b || !kMemorySideRange.contains(int32_t(std::clamp<int64_t>(*a, -1, 1 << 30))) ||
        !kMemorySideRange.contains(int32_t(std::clamp<int64_t>(*b, -1, 1 << 30))))
        return accepted;
    w = int32_t(*a);
    h = int32_t(*b);
    return {};
}

std::string regionInto(std::optional<core::Rect>& region, const std::string& text) {
    const std::string accepted = "L,T,R,B with 0 <= L < R and 0 <= T < B";
    std::array<int64_t, 4> v{};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 3) != (comma != std::string::npos)) return accepted;
        const auto n = toInteger(std::string_view(text).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!n || *n < 0 || *n > INT32_MAX) return accepted;
        v[std::size_t(i)] = *n;
        start = comma + 1;
    }
    if (v[0] >= v[2] || v[1] >= v[3]) return accepted;
    region = core::Rect{int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3])};
    return {};
}

std::string cropInto(std::optional<CropRequest>& crop, const std::string& text) {
    const std::string accepted =
        "ASPECT[,swap][,zoom=Z][,offset=X:Y] with ASPECT 0..8 or a name (square, 3:1, 3:2, "
        "4:3, letter, legal, a4, 16:9, keep) and Z in " +
        numberText(document::kCropZoomRange.minimum) + ".." +
        numberText(document::kCropZoomRange.maximum);
    CropRequest request;
    std::size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (first) {
            const auto aspect = cropAspectFromText(part);
            if (!aspect) return accepted;
            request.aspect = *aspect;
            first = false;
        } else if (lower(part) == "swap") {
            request.swap = true;
        } else if (lower(part).rfind("zoom=", 0) == 0) {
            if (!realInto(request.zoom, part.substr(5), document::kCropZoomRange).empty())
                return accepted;
        } else if (lower(part).rfind("offset=", 0) == 0) {
            const std::string xy = part.substr(7);
            const auto colon = xy.find(':');
            if (colon == std::string::npos) return accepted;
            const auto x = toInteger(std::string_view(xy).substr(0, colon));
            const auto y = toInteger(std::string_view(xy).substr(colon + 1));
            if (!x || !y || *x < 0 || *y < 0 || *x > INT32_MAX || *y > INT32_MAX) return accepted;
            request.offsetX = int32_t(*x);
            request.offsetY = int32_t(*y);
        } else {
            return accepted;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    crop = request;
    return {};
}

std::string targetInto(std::optional<TargetSize>& target, const std::string& text) {
    if (lower(text) == "same") {
        target = TargetSize{true, 0};
        return {};
    }
    const auto n = toInteger(text);
    if (!n || *n < 1) return "same or a byte count of at least 1";
    target = TargetSize{false, *n};
    return {};
}

struct OptionEntry {
    const char* longName;
    char shortName; ///< 0 when none
    bool takesValue;
    Handler apply;
};

const std::vector<OptionEntry>& optionTable() {
    static const std::vector<OptionEntry> table = {
        {"output", 'o', true,
         [](CliOptions& o, const std::string& v) {
             if (v.empty()) return std::string("a file or folder path");
             o.output = v;
             return std::string();
         }},
        {"recursive", 'r', false,
         [](CliOptions& o, const std::string&) {
             o.recursive = true;
             return std::string();
         }},
        {"format", 0, true,
         [](CliOptions& o, const std::string& v) {
             static constexpr std::array<const char*, 9> kTypes = {
                 "bmp", "jpg", "png", "psd", "tga", "tif", "webp", "avif", "jxl"};
             for (const char* t : kTypes)
                 if (lower(v) == t) {
                     o.format = t;
                     return std::string();
                 }
             return std::string("one of bmp|jpg|png|psd|tga|tif|webp|avif|jxl");
         }},
        {"overwrite", 0, false,
         [](CliOptions& o, const std::string&) {
             o.overwrite = true;
             return std::string();
         }},
        {"files-from", 0, true,
         [](CliOptions& o, const std::string& v) {
             if (v.empty()) return std::string("a file listing the inputs, or - for stdin");
             o.fileLists.push_back(v);
             return std::string();
         }},
        {"level", 0, true,
         [](CliOptions& o, const std::string& v) {
             return realInto(o.noise.noiseLevel, v, pipeline::NoiseSettings::kNoiseLevelMin,
                             pipeline::NoiseSettings::kNoiseLevelMax);
         }},
        {"mode", 0, true,
         [](CliOptions& o, const std::string& v) {
             return choiceInto(o.noise.nrMode, v,
                               {"default", "nature", "portrait", "high-noise", "scanner", "auto"});
         }},
        {"strength", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.noise.autoStrength, v, engine::kAutoStrengthRange.minimum,
                                engine::kAutoStrengthRange.maximum);
         }},
        {"chroma", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.noise.autoChroma, v, engine::kAutoColorStrengthRange.minimum,
                                engine::kAutoColorStrengthRange.maximum);
         }},
        {"wavelet-levels", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.noise.nrLevels, v, kWaveletLevelsRange);
         }},
        {"no-advanced", 0, false,
         [](CliOptions& o, const std::string&) {
             o.noise.advancedProcessing = 0;
             return std::string();
         }},
        {"no-sharpen", 0, false,
         [](CliOptions& o, const std::string&) {
             o.noise.sharpenEdges = 0;
             return std::string();
         }},
        {"sharpen", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.noise.sharpenAmount, v,
                                pipeline::NoiseSettings::kSharpenAmountMin,
                                pipeline::NoiseSettings::kSharpenAmountMax);
         }},
        {"edge-threshold", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.noise.edgeThreshold, v,
                                pipeline::NoiseSettings::kEdgeThresholdMin,
                                pipeline::NoiseSettings::kEdgeThresholdMax);
         }},
        {"output-window", 0, true,
         [](CliOptions& o, const std::string& v) {
             return choiceInto(o.outputWindowMode, v, {"normal", "edges", "noise"});
         }},
        {"black", 0, true,
         [](CliOptions& o, const std::string& v) {
             o.blackGiven = true;
             return integerInto(o.tone.blackPoint, v, kBlackLevelRange);
         }},
        {"white", 0, true,
         [](CliOptions& o, const std::string& v) {
             o.whiteGiven = true;
             return integerInto(o.tone.whitePoint, v, kWhiteLevelRange);
         }},
        {"temperature", 0, true,
         [](CliOptions& o, const std::string& v) {
             int p = 0;
             std::string e = integerInto(p, v, kTemperatureRange);
             // The slider's own mapping, so 0 gives a gamma of exactly 1.0.
             if (e.empty())
                 o.tone.gamma = color::gammaFromSlider(color::kTemperatureSlider.defaultValue + p);
             return e;
         }},
        {"gamma", 0, true,
         [](CliOptions& o, const std::string& v) {
             return realInto(o.tone.gamma, v, color::kGammaRange);
         }},
        {"ev", 0, true,
         [](CliOptions& o, const std::string& v) {
             return realInto(o.tone.midtoneBend, v, color::kMidtoneBendRange);
         }},
        {"boost", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.tone.colorBoost, v, color::kColorBoostRange);
         }},
        {"auto-levels", 0, false,
         [](CliOptions& o, const std::string&) {
             o.autoLevels = true;
             return std::string();
         }},
        {"match-image", 0, true,
         [](CliOptions& o, const std::string& v) {
             if (v.empty()) return std::string("an image file");
             o.matchImage = v;
             return std::string();
         }},
        {"match-profile", 0, true,
         [](CliOptions& o, const std::string& v) {
             if (v.empty()) return std::string("a .cpf file");
             o.matchProfile = v;
             return std::string();
         }},
        {"fade", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.matchFade, v, color::kMatchFadeRange);
         }},
        {"save-profile", 0, true,
         [](CliOptions& o, const std::string& v) {
             if (v.empty()) return std::string("a .cpf file");
             o.saveProfile = v;
             return std::string();
         }},
        {"rotate", 0, true,
         [](CliOptions& o, const std::string& v) {
             int32_t d = 0;
             std::string e = choiceInto(d, v, {"cw", "ccw"});
             if (e.empty())
                 o.rotations.push_back(d == 0 ? document::RotateDirection::Clockwise
                                              : document::RotateDirection::CounterClockwise);
             return e;
         }},
        {"crop", 0, true, [](CliOptions& o, const std::string& v) { return cropInto(o.crop, v); }},
        {"jpeg-quality", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.jpegQuality, v, document::JpegSettings::kQualityMin,
                                document::JpegSettings::kQualityMax);
         }},
        {"no-enhanced-sampling", 0, false,
         [](CliOptions& o, const std::string&) {
             o.enhancedSampling = 0;
             return std::string();
         }},
        {"target-size", 0, true,
         [](CliOptions& o, const std::string& v) { return targetInto(o.targetSize, v); }},
        {"max-block", 0, true,
         [](CliOptions& o, const std::string& v) {
             return sizeInto(o.memory.MaxBlockW, o.memory.MaxBlockH, v);
         }},
        {"max-swap", 0, true,
         [](CliOptions& o, const std::string& v) {
             return sizeInto(o.memory.MaxSwapW, o.memory.MaxSwapH, v);
         }},
        {"region", 0, true,
         [](CliOptions& o, const std::string& v) { return regionInto(o.region, v); }},
        {"read-time-limit", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.readSeconds, v, kReadSecondsRange);
         }},
        {"max-memory", 0, true,
         [](CliOptions& o, const std::string& v) {
             return integerInto(o.maxMemoryMiB, v, kMaxMemoryRange);
         }},
        {"read-in-process", 0, false,
         [](CliOptions& o, const std::string&) {
             o.inProcess = true;
             return std::string();
         }},
        {"jobs", 'j', true,
         [](CliOptions& o, const std::string& v) { return integerInto(o.jobs, v, kJobsRange); }},
        {"json", 0, false,
         [](CliOptions& o, const std::string&) {
             o.json = true;
             return std::string();
         }},
        {"info", 0, false,
         [](CliOptions& o, const std::string&) {
             o.info = true;
             return std::string();
         }},
        {"quiet", 'q', false,
         [](CliOptions& o, const std::string&) {
             o.quiet = true;
             return std::string();
         }},
        {"version", 0, false,
         [](CliOptions& o, const std::string&) {
             o.showVersion = true;
             return std::string();
         }},
        {"help", 'h', false,
         [](CliOptions& o, const std::string&) {
             o.showHelp = true;
             return std::string();
         }},
    };
    return table;
}

/// Combinations that no single option can judge.
std::string checkCombination(const CliOptions& o) {
    if (o.showHelp || o.showVersion) return {};
    if (o.inputs.empty() && o.fileLists.empty()) return "no INPUT given (see --help)";
    if (!o.matchImage.empty() && !o.matchProfile.empty())
        return "--match-image and --match-profile: give only one of them";
    if (!o.saveProfile.empty() && o.matchImage.empty())
        return "--save-profile: needs --match-image FILE";
    return {};
}

/// A usage error found while the arguments are walked, with its finished message.
struct UsageError {
    std::string message;
};

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

/// The option as a message names it: "--level", or "-j, --jobs" when it was given by its short
/// name.
std::string shownName(const OptionEntry& entry, bool byShortName) {
    if (byShortName) return std::string{'-', entry.shortName} + ", --" + entry.longName;
    return std::string("--") + entry.longName;
}

/// The option a name stands for: "--level", "-j", or a bare "json" or "q" as CLI11 reports it.
const OptionEntry* entryNamed(std::string_view name, bool& byShortName) {
    while (!name.empty() && name.front() == '-')
        name.remove_prefix(1);
    byShortName = name.size() == 1;
    for (const OptionEntry& entry : optionTable())
        if (byShortName ? entry.shortName == name.front() : name == entry.longName) return &entry;
    return nullptr;
}

/// The message of an argument that names no option: the name without an attached value.
UsageError unknownOption(const std::string& arg) {
    const std::string name =
        arg.rfind("--", 0) == 0 ? arg.substr(0, arg.find('=')) : arg.substr(0, 2);
    return {name + ": unknown option (see --help)"};
}

/// Our message for what CLI11 found wrong with the shape of the arguments: a value missing at
/// the end, or a value given to a flag. CLI11 names the option at the start of its text.
std::string shapeError(const CLI::ArgumentMismatch& error) {
    const std::string text = error.what();
    const bool flagGivenValue =
        text.find(" was given a disallowed flag override") != std::string::npos;
    const std::string name = text.substr(0, text.find_first_of(flagGivenValue ? " " : ":"));
    bool byShortName = false;
    const OptionEntry* entry = entryNamed(name, byShortName);
    if (entry == nullptr) return text;
    const std::string shown = shownName(*entry, byShortName && entry->takesValue);
    if (flagGivenValue) return shown + ": takes no value";
    // Name what it accepts, as for a wrong value (asked of a scratch copy).
    CliOptions scratch;
    const std::string accepted = entry->apply(scratch, "\x01");
    return shown + ": needs a value" + (accepted.empty() ? "" : ": " + accepted);
}

/// The arguments as CLI11 takes them, last first, with attached values made plain: an empty
/// value ("--output=") becomes a value of its own, so that it is judged like any other instead
/// of taking the next argument; any value attached to a flag ("--json=", "--json=true") becomes
/// one CLI11 refuses, so that every such value is reported as one the flag does not take.
std::vector<std::string> argumentsForParsing(const std::vector<std::string>& args) {
    std::vector<std::string> spelled;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        optionsEnded = optionsEnded || arg == "--";
        const std::size_t eq = arg.find('=');
        bool byShortName = false;
        const OptionEntry* entry =
            !optionsEnded && arg.rfind("--", 0) == 0 && eq != std::string::npos
                ? entryNamed(std::string_view(arg).substr(0, eq), byShortName)
                : nullptr;
        if (entry != nullptr && !byShortName && !entry->takesValue) {
            spelled.push_back(arg.substr(0, eq) + "=\x01");
        } else if (entry != nullptr && !byShortName && eq + 1 == arg.size()) {
            spelled.push_back(arg.substr(0, eq));
            spelled.emplace_back();
        } else {
            spelled.push_back(arg);
        }
    }
    std::reverse(spelled.begin(), spelled.end());
    return spelled;
}

} // namespace

std::optional<int32_t> cropAspectFromText(const std::string& text) {
    const std::string t = lower(text);
    if (const auto n = toInteger(t);
        n && document::kCropAspectRange.contains(int32_t(std::clamp<int64_t>(*n, -1, 1 << 20))))
        return int32_t(*n);
    // Short names, in the order of the aspect list.
    static constexpr std::array<const char*, 9> kShort = {
        "square", "panoramic", "classic", "screen", "letter", "legal", "a4", "widescreen", "keep"};
    for (std::size_t i = 0; i < document::kCropAspectNames.size(); ++i) {
        const std::string name = lower(document::kCropAspectNames[i]);
        if (t == name || t == kShort[i]) return int32_t(i);
        // The ratio in parentheses: "Classic Photo (3:2)" answers to "3:2".
        const auto open = name.find('('), close = name.find(')');
        if (open != std::string::npos && close != std::string::npos &&
            t == name.substr(open + 1, close - open - 1))
            return int32_t(i);
    }
    return std::nullopt;
}

ParseResult parseCommandLine(const std::vector<std::string>& args, int defaultJobs) {
    ParseResult result;
    CliOptions& o = result.options;
    o.jobs = kJobsRange.clamp(defaultJobs);

    // CLI11 walks the arguments: long and short names, "--name=value", "-j4", "--", the INPUTs.
    // Every value goes through the option's own handler as soon as it is read, so the first
    // fault in the order given is the one reported, in our words.
    CLI::App app;
    app.set_help_flag(); // --help is ours, with our text
    app.allow_extras();  // unknown names are reported by us, in their place among the rest
    app.add_option("INPUT", o.inputs);
    const auto failOnUnknown = [&app] {
        if (app.remaining_size() > 0) throw unknownOption(app.remaining().front());
    };
    const auto apply = [&](const OptionEntry& entry, bool byShortName, const std::string& value) {
        failOnUnknown();
        const std::string accepted = entry.apply(o, value);
        if (!accepted.empty())
            throw UsageError{shownName(entry, byShortName) + ": expected " + accepted + ", got " +
                             quoted(value)};
    };
    for (const OptionEntry& entry : optionTable()) {
        const std::string longName = std::string("--") + entry.longName;
        if (!entry.takesValue) {
            const std::string names = entry.shortName != 0
                                          ? std::string{'-', entry.shortName} + "," + longName
                                          : longName;
            app.add_flag_callback(names, [&apply, &entry] { apply(entry, false, {}); })
                ->disable_flag_override()
                ->trigger_on_parse();
            continue;
        }
        // A short name is an option of its own, so that a message can name the form given.
        const auto add = [&](const std::string& name, bool byShortName) {
            app.add_option_function<std::string>(
                   name, [&apply, &entry, byShortName](
                             const std::string& value) { apply(entry, byShortName, value); })
                ->trigger_on_parse();
        };
        add(longName, false);
        if (entry.shortName != 0) add(std::string{'-', entry.shortName}, true);
    }

    try {
        app.parse(argumentsForParsing(args));
        failOnUnknown();
    } catch (const UsageError& error) {
        result.error = error.message;
        return result;
    } catch (const CLI::ArgumentMismatch& error) {
        result.error = app.remaining_size() > 0 ? unknownOption(app.remaining().front()).message
                                                : shapeError(error);
        return result;
    } catch (const CLI::Error& error) {
        result.error = error.what();
        return result;
    }
    result.error = checkCombination(o);
    if (result.ok()) settleMemoryBudget(o);
    return result;
}

void settleMemoryBudget(CliOptions& o) {
    o.memory.budgetBytes =
        o.maxMemoryMiB > 0 ? uint64_t(o.maxMemoryMiB) << 20 : codec::defaultMemoryBudget();
    o.memory.runsWithoutCopy = o.noise.nrMode != pipeline::kNrModeAuto && !o.autoLevels &&
                               !o.tone.toneActive() && !o.tone.boostActive() &&
                               o.matchImage.empty() && o.matchProfile.empty();
}

std::string usageText() {
    return R"(Usage: velanox-nr-cli [options] INPUT...
Removes noise from photographs: each INPUT (an image file, or a folder of them) is loaded,
processed over the whole picture with the settings below and saved.

  -o, --output PATH        a file (one input) or a folder (created if missing); default: beside
                           each input, named NAME_NR with the input's extension (.jpg when that
                           type cannot be written)
  -r, --recursive          take the image files of sub-folders too
      --format TYPE        bmp|jpg|png|psd|tga|tif|webp|avif|jxl: the output type (WebP, AVIF
                           and JPEG XL at --jpeg-quality; WebP and JPEG XL lossless at 100)
      --overwrite          replace existing outputs (default: report them and go on)
      --files-from LIST    take the inputs named in LIST too, one per line (- reads them from
                           standard input)
Noise reduction:
      --level F            noise level 0..100 (default 8.0)
      --mode M             default|nature|portrait|high-noise|scanner|auto; auto measures
                           the noise in each picture and removes it (--level, --wavelet-levels
                           and the blend options do not apply to it)
      --strength P         auto: strength in percent of the measured noise, 0..400 (default 100)
      --chroma P           auto: colour-noise strength in percent on top of it, 0..400
                           (default 125)
      --wavelet-levels N   2..5 (default 5; 3 leaves block noise)
      --no-advanced        no edge-weighted blend
      --no-sharpen         no sharpened copy in the blend
      --sharpen N          sharpening amount 0..100 (default 8)
      --edge-threshold N   0..255 (default 0)
      --output-window W    normal|edges|noise: what is written
Tone and colour:
      --black N  --white N input levels 0..255
      --temperature P      -100..100 (warmer..colder: gamma of blue = 1 + 0.004 P)
      --gamma F            gamma of blue 0.6..1.4
      --ev F               exposure compensation -4..4
      --boost N            colour boost 0..100
      --auto-levels        black and white points from each picture's histogram
Colour match:
      --match-image FILE   match the colours to a reference picture
      --match-profile FILE.cpf
                           match the colours to a stored profile
      --fade N             share of the unmatched colour kept, 0..255 (default 0)
      --save-profile FILE.cpf
                           store the reference of --match-image as a profile
Geometry (rotations first, then the crop, then processing):
      --rotate cw|ccw      repeatable, applied in order
      --crop ASPECT[,swap][,zoom=Z][,offset=X:Y]
                           ASPECT 0..8 or square, 3:1, 3:2, 4:3, letter, legal, a4, 16:9, keep;
                           zoom 1..3; offset of the window's top-left corner in pixels
Output:
      --jpeg-quality Q     40..100 (default 92)
      --no-enhanced-sampling
                           JPEG with 4:2:0 chroma subsampling
      --target-size same|BYTES
                           search the JPEG quality for that size (same: the source's size)
Engine limits:
      --max-block WxH      largest block per engine call (default 3100x2100)
      --max-swap WxH       larger buffers go to memory mappings (default 2000x2000)
Region:
      --region L,T,R,B     process only that rectangle; the rest is written unprocessed
Reading (each file is read by a separate, limited process):
      --read-time-limit S  CPU seconds a file's reading may take (default 20)
      --max-memory MIB     memory budget of the whole run (default: half the machine's),
                           shared by the files processed at once; a picture whose processing
                           would need more is refused before it is decoded, and a file's
                           reading is limited to it
      --read-in-process    read in this process, without limits (for debugging)
Other:
  -j, --jobs N             files processed in parallel (default: number of cores)
      --json               one JSON object per file on stdout
      --info               size, format, measured noise and file information of each input;
                           no processing
  -q, --quiet              no progress and no per-file lines
      --version            print the version
  -h, --help               print this text

Exit status: 0 all inputs done, 1 one or more failed, 2 usage error.
)";
}

} // namespace velanox::cli
