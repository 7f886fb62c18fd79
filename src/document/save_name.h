// What the Save dialog proposes: the file name with "_NR", the default type and the order of the
// type list, the folder it starts in, and whether the JPEG options are asked for. Pure
// functions of names, shared by the desktop program and the command-line tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velanox::document {

inline constexpr const char* kSaveDialogTitle = "Save image";

struct SaveNameProposal {
    std::string fileName;    ///< without folder: the source's name before its extension + "_NR"
    std::string extension;   ///< the source's extension from its last "." on, lower-cased; or ""
    std::string defaultType; ///< "*" + extension, or "*.jpg" when there is none or no writer
};

/// The proposal for a document with documentPath (empty for a pasted picture) and title. Without
/// a path and with replace, the title cut at the first of " #%;/\" plus ".jpg" stands in. Only
/// the part after the last path separator is kept (either slash on Windows, "/" elsewhere).
/// A name without "." is proposed as it is, without "_NR".
SaveNameProposal proposeSaveName(const std::string& documentPath, const std::string& title,
                                 bool replace = true);

/// One entry of the Save dialog's type list.
struct SaveFilterEntry {
    std::string name;    ///< "JPEG File (*.JPG)"
    std::string pattern; ///< "*.jpg"
    bool operator==(const SaveFilterEntry&) const = default;
};

/// The type list for a default type, the selected (first) entry first: the six classic writable
/// types, reordered for "*.bmp", "*.jpg", "*.png" and "*.psd", then WebP, AVIF and JPEG XL; any
/// other type T gets a first entry "Last File Extension (" + T upper-cased + ")" with pattern T
/// before the nine.
std::vector<SaveFilterEntry> saveFilterEntries(const std::string& defaultType);

/// The same as one filter string: "name|pattern|" per entry and a closing "|".
std::string saveFilterString(const std::string& defaultType);

struct SaveFolderChoice {
    std::string folder;    ///< where the dialog starts
    bool remember = false; ///< the folder of the chosen file is stored as Document/outPath
};

/// The Save dialog's starting folder: fixedSaveFolder when useFixedSaveFolder is 1 and it is not
/// empty (and then not remembered), otherwise outPath (remembered).
SaveFolderChoice saveDialogFolder(const std::string& outPath, int32_t useFixedSaveFolder,
                                  const std::string& fixedSaveFolder);

/// The folder part of a path: everything before its last separator, "" when there is none.
std::string folderOfPath(const std::string& path);

/// The file name part of a path: everything after its last separator.
std::string fileNameOfPath(const std::string& path);

/// Whether the JPEG Options are asked for: the path's last three characters, lower-cased, are
/// "jpg" (a ".jpeg" name is written with the stored settings without asking).
bool asksJpegOptions(const std::string& path);

} // namespace velanox::document
