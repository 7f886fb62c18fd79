#include "cli/output_plan.h"

#include "document/save_name.h"

#include <filesystem>
#include <map>
#include <system_error>

namespace velanox::cli {

namespace fs = std::filesystem;

namespace {

/// --format's extension, or the save dialog's default type ("*.jpg" gives ".jpg").
std::string outputExtension(const CliOptions& options, const std::string& input) {
    if (!options.format.empty()) return "." + options.format;
    return document::proposeSaveName(input, {}).defaultType.substr(1);
}

bool namesSingleFile(const CliOptions& options) {
    if (options.inputs.size() != 1 || options.output.empty()) return false;
    std::error_code ec;
    if (!fs::is_regular_file(options.inputs.front(), ec)) return false;
    const char last = options.output.back();
    if (last == '/' || last == fs::path::preferred_separator) return false;
    return !fs::is_directory(options.output, ec);
}

std::string key(const std::string& path) {
    std::error_code ec;
    const fs::path k = fs::weakly_canonical(path, ec);
    return ec ? fs::path(path).lexically_normal().string() : k.string();
}

} // namespace

OutputPlan planOutputs(const CliOptions& options, const std::vector<InputFile>& inputs) {
    OutputPlan plan;
    const bool singleFile = namesSingleFile(options);
    std::map<std::string, std::string> claimed; // output -> the input writing it

    for (const InputFile& input : inputs) {
        PlannedFile file{input, {}, {}};
        if (!options.info) {
            fs::path out;
            if (singleFile) {
                out = options.output;
                // As the save dialog does with a typed name without extension.
                if (!out.has_extension()) out += outputExtension(options, input.path);
            } else {
                const fs::path folder = options.output.empty()
                                            ? fs::path(input.path).parent_path()
                                            : fs::path(options.output) / input.relativeFolder;
                out = folder / (document::proposeSaveName(input.path, {}).fileName +
                                outputExtension(options, input.path));
            }
            file.output = out.string();

            std::error_code ec;
            const fs::path parent = out.parent_path();
            if (!parent.empty() && !fs::is_directory(parent, ec)) {
                fs::create_directories(parent, ec);
                if (ec) {
                    plan.error =
                        "cannot create the folder " + parent.string() + ": " + ec.message();
                    return plan;
                }
            }
            const auto [it, fresh] = claimed.emplace(key(file.output), input.path);
            if (!fresh)
                file.skipReason = it->second + " is written to the same output " + file.output;
            else if (!options.overwrite && fs::exists(out, ec))
                file.skipReason = "the output " + file.output + " exists (--overwrite replaces it)";
        }
        plan.files.push_back(std::move(file));
    }
    return plan;
}

} // namespace velanox::cli
