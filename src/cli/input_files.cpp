#include "cli/input_files.h"

#include "codec/format_table.h"
#include "document/folder_navigation.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>

namespace velanox::cli {

namespace fs = std::filesystem;

namespace {

/// Camera raw files, as the Open dialog lists them; the raw decoder is tried on every file first.
constexpr std::array<std::string_view, 19> kRawExtensions = {
    "arw", "bay", "cr2", "crw", "dcr", "dcs", "dng", "hdr", "kdc", "mef",
    "mrw", "nef", "orf", "pef", "raf", "raw", "sr2", "srf", "x3f"};

/// PhotoCD is recognised by content only; its files end in ".pcd".
constexpr std::string_view kPhotoCdExtension = "pcd";

std::string extensionOf(const fs::path& path) {
    std::string ext = path.extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

std::string keyOf(const fs::path& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal().string() : canonical.string();
}

} // namespace

bool isReadableImageName(const std::string& path) {
    const std::string ext = extensionOf(path);
    if (ext.empty()) return false;
    if (ext == kPhotoCdExtension) return true;
    if (std::find(kRawExtensions.begin(), kRawExtensions.end(), ext) != kRawExtensions.end())
        return true;
    for (const codec::FormatEntry& row : codec::formatTable())
        if (row.read != nullptr)
            for (std::string_view e : row.extensions)
                if (!e.empty() && e == ext) return true;
    return false;
}

InputListing enumerateInputs(const std::vector<std::string>& inputs, bool recursive) {
    InputListing listing;
    std::set<std::string> seen;
    auto take = [&](const fs::path& path, const std::string& relative) {
        if (seen.insert(keyOf(path)).second) listing.files.push_back({path.string(), relative});
    };

    for (const std::string& input : inputs) {
        const fs::path root(input);
        std::error_code ec;
        const fs::file_status status = fs::status(root, ec);
        if (fs::is_regular_file(status)) {
            take(root, "");
            continue;
        }
        if (!fs::is_directory(status)) {
            listing.errors.push_back(input + ": " +
                                     (ec ? ec.message() : std::string("not a file or folder")));
            continue;
        }

        std::vector<fs::path> found;
        const auto options = fs::directory_options::skip_permission_denied;
        auto consider = [&](const fs::directory_entry& entry) {
            std::error_code fileEc;
            if (entry.is_regular_file(fileEc) && isReadableImageName(entry.path().string()) &&
                !document::isResultFileName(entry.path().filename().string()))
                found.push_back(entry.path());
        };
        if (recursive) {
            for (auto it = fs::recursive_directory_iterator(root, options, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                consider(*it);
        } else {
            for (auto it = fs::directory_iterator(root, options, ec);
                 !ec && it != fs::directory_iterator(); it.increment(ec))
                consider(*it);
        }
        if (ec) listing.errors.push_back(input + ": " + ec.message());

        std::sort(found.begin(), found.end());
        for (const fs::path& file : found) {
            std::string relative = file.parent_path().lexically_relative(root).string();
            if (relative == ".") relative.clear();
            take(file, relative);
        }
    }
    return listing;
}

} // namespace velanox::cli
