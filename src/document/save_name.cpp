#include "document/save_name.h"

#include "codec/format_table.h"
#include "codec/picture.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace velanox::document {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

std::size_t lastSeparator(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("\\/");
#else
    return path.rfind('/');
#endif
}

// The writable types in their base order: the classic six, then today's formats.
const std::array<SaveFilterEntry, 9>& writableTypes() {
    static const std::array<SaveFilterEntry, 9> types = {{
        {"Windows Bitmap (*.BMP)", "*.bmp"},
        {"JPEG File (*.JPG)", "*.jpg"},
        {"Portable Graphics (*.PNG)", "*.png"},
        {"Adobe Photoshop (*.PSD)", "*.psd"},
        {"Targa (*.TGA)", "*.tga"},
        {"TIFF File (*.TIF)", "*.tif"},
        {"WebP File (*.WEBP)", "*.webp"},
        {"AVIF File (*.AVIF)", "*.avif"},
        {"JPEG XL File (*.JXL)", "*.jxl"},
    }};
    return types;
}

} // namespace

std::string folderOfPath(const std::string& path) {
    const std::size_t at = lastSeparator(path);
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string fileNameOfPath(const std::string& path) {
    const std::size_t at = lastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

SaveNameProposal proposeSaveName(const std::string& documentPath, const std::string& title,
                                 bool replace) {
    std::string start = documentPath;
    if (start.empty() && replace) start = title.substr(0, title.find_first_of(" #%;/\\")) + ".jpg";

    SaveNameProposal proposal;
    const std::string name = fileNameOfPath(start);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        proposal.fileName = name;
    } else {
        proposal.extension = lowerCase(name.substr(dot));
        proposal.fileName = name.substr(0, dot) + "_NR";
    }
    // Camera raw, HEIC, GIF and every other type without a writer are offered as JPEG.
    const codec::FormatEntry* format =
        codec::formatEntry(codec::Picture::formatFromExtension("x" + proposal.extension));
    const bool writable = !proposal.extension.empty() && format && format->write;
    proposal.defaultType = writable ? "*" + proposal.extension : "*.jpg";
    return proposal;
}

std::vector<SaveFilterEntry> saveFilterEntries(const std::string& defaultType) {
    const auto& types = writableTypes();
    std::vector<SaveFilterEntry> entries;
    // Only the first four types move to the front; any other type gets an entry of its own.
    const auto fixedEnd = types.begin() + 4;
    const auto first = std::find_if(types.begin(), fixedEnd, [&](const SaveFilterEntry& e) {
        return e.pattern == defaultType;
    });
    const bool ownEntry = first == fixedEnd;
    if (ownEntry)
        entries.push_back({"Last File Extension (" + upperCase(defaultType) + ")", defaultType});
    else
        entries.push_back(*first);
    for (auto it = types.begin(); it != types.end(); ++it)
        if (ownEntry || it != first) entries.push_back(*it);
    return entries;
}

std::string saveFilterString(const std::string& defaultType) {
    std::string filter;
    for (const SaveFilterEntry& entry : saveFilterEntries(defaultType))
        filter += entry.name + "|" + entry.pattern + "|";
    return filter + "|";
}

SaveFolderChoice saveDialogFolder(const std::string& outPath, int32_t useFixedSaveFolder,
                                  const std::string& fixedSaveFolder) {
    if (useFixedSaveFolder == 1 && !fixedSaveFolder.empty()) return {fixedSaveFolder, false};
    return {outPath, true};
}

bool asksJpegOptions(const std::string& path) {
    return path.size() >= 3 && lowerCase(path.substr(path.size() - 3)) == "jpg";
}

} // namespace velanox::document
