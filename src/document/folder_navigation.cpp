#include "document/folder_navigation.h"

#include "codec/format_table.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace velanox::document {

namespace {

namespace fs = std::filesystem;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

bool isFolderImageName(const std::string& path) {
    if (codec::hasModernFormatExtension(path)) return true;
    if (path.size() < 4) return false;
    const std::string suffix = lowerCase(path.substr(path.size() - 4));
    for (const char* accepted : {".jpg", ".bmp", ".png", ".pcd", ".tga", ".tif", ".pcx", ".psd"})
        if (suffix == accepted) return true;
    return false;
}

bool isResultFileName(const std::string& fileName) {
    return fileName.find("_NR") != std::string::npos;
}

std::vector<std::string> listFolderImages(const std::string& currentPath) {
    std::vector<std::string> listing;
    if (currentPath.empty()) return listing;
    const fs::path folder = fs::path(currentPath).parent_path();
    const std::string currentLower = lowerCase(currentPath);

    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name == "." || name == "..") continue;
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        const std::string full = (folder / name).string();
        if (!isFolderImageName(full)) continue;
        // Only the name counts: a folder called "x_NR" does not hide its files.
        if (isResultFileName(name) && full != currentPath && lowerCase(full) != currentLower)
            continue;
        listing.push_back(full);
    }
    // Byte-wise and case-respecting: "B.jpg" sorts before "a.jpg".
    std::sort(listing.begin(), listing.end());
    return listing;
}

int findCurrentEntry(const std::vector<std::string>& listing, const std::string& currentPath) {
    // A case-sensitive file system may hold both A.jpg and a.jpg: the exact name wins.
    const auto exact = std::find(listing.begin(), listing.end(), currentPath);
    if (exact != listing.end()) return int(exact - listing.begin());
    const std::string lower = lowerCase(currentPath);
    for (std::size_t i = 0; i < listing.size(); ++i)
        if (lowerCase(listing[i]) == lower) return int(i);
    return -1;
}

FolderStepResult stepInFolder(CSotavoDoc& doc, const std::string& path, bool forward) {
    FolderStepResult result;
    if (path.empty() || !doc.mayReplaceImages()) return result;

    const std::vector<std::string> listing = listFolderImages(path);
    const int current = findCurrentEntry(listing, path);
    if (current < 0) {
        result.outcome = FolderStepOutcome::NotListed;
        return result;
    }
    const int step = forward ? 1 : -1;
    for (int i = current + step; i >= 0 && i < int(listing.size()); i += step) {
        const LoadResult loaded = loadSource(doc, listing[std::size_t(i)], false);
        if (loaded.loaded()) {
            doc.sourceFile.documentPath = listing[std::size_t(i)];
            result.outcome = FolderStepOutcome::Loaded;
            result.loadedPath = listing[std::size_t(i)];
            return result;
        }
        if (loaded.outcome == LoadOutcome::Ignored) return result;
        if (loaded.outcome == LoadOutcome::Cancelled) {
            result.outcome = FolderStepOutcome::Cancelled;
            return result;
        }
        // A file that cannot be opened is passed over for the next one in the same direction.
        result.skipped.emplace_back(listing[std::size_t(i)], loaded.status.reason);
        doc.host().showStatusText(cannotOpenMessage(listing[std::size_t(i)], loaded.status.reason));
    }
    doc.host().showMessage(forward ? kLastFileInFolderMessage : kFirstFileInFolderMessage);
    result.outcome = FolderStepOutcome::AtEnd;
    return result;
}

bool canStepInFolder(const CSotavoDoc& doc) {
    return !doc.sourceFile.documentPath.empty() && doc.mayReplaceImages();
}

FolderStepResult loadNextInFolder(CSotavoDoc& doc) {
    if (!canStepInFolder(doc)) return {};
    return stepInFolder(doc, doc.sourceFile.documentPath, true);
}

FolderStepResult loadPreviousInFolder(CSotavoDoc& doc) {
    if (!canStepInFolder(doc)) return {};
    return stepInFolder(doc, doc.sourceFile.documentPath, false);
}

} // namespace velanox::document
