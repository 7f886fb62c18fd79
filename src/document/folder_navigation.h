// Load Next / Previous Image in Folder: the current file's folder is listed afresh on every
// step, filtered to the raster types read here, sorted byte-wise, and the neighbour loaded.
// The program's own results ("_NR" in the name) are passed over unless the current file is one.
#pragma once

#include "document/csotavo_doc.h"
#include "document/load_source.h"

#include <string>
#include <utility>
#include <vector>

namespace velanox::document {

inline constexpr const char* kLastFileInFolderMessage =
    "This is already the last file in the directory";
inline constexpr const char* kFirstFileInFolderMessage =
    "This is already the first file in the directory";

/// Whether a listed path is visited at all: its last four characters, lower-cased, are ".jpg",
/// ".bmp", ".png", ".pcd", ".tga", ".tif", ".pcx" or ".psd", or its extension is one of today's
/// formats (.heic .heif .hif .avif .webp .jxl).
bool isFolderImageName(const std::string& path);

/// Whether a file name (without its folder) marks one of the program's own results: it contains
/// "_NR" (case-sensitive), as the names saving proposes do.
bool isResultFileName(const std::string& fileName);

/// The candidates of the folder of currentPath: regular files (or links to them) with an
/// accepted name, without those whose file name contains "_NR" (case-sensitive) unless it is the
/// current file; each as folder + separator + name, sorted by byte value (so "Z.jpg" comes
/// before "a.jpg"). Empty when the folder cannot be read.
std::vector<std::string> listFolderImages(const std::string& currentPath);

/// The index of the current file in a listing: the entry equal to it, else the first equal to
/// it when both are lower-cased; -1 when there is none.
int findCurrentEntry(const std::vector<std::string>& listing, const std::string& currentPath);

enum class FolderStepOutcome {
    Loaded,    ///< a neighbour was loaded and is the document path now
    AtEnd,     ///< no neighbour in that direction (or none could be opened); message shown
    NotListed, ///< the current file is not in the listing (deleted, or not accepted): silent
    Busy,      ///< no path, or a run is on: nothing happens
    Cancelled, ///< the person stopped a read: the document is as it was, nothing is shown
};

struct FolderStepResult {
    FolderStepOutcome outcome = FolderStepOutcome::Busy;
    std::string loadedPath;
    /// Neighbours passed over because they could not be opened, each with its reason (also
    /// shown on the status line as "Cannot open <file>: <reason>").
    std::vector<std::pair<std::string, std::string>> skipped;
};

/// Loads the next (forward) or previous image of path's folder into the document: the
/// neighbour is loaded with loadSource (cropSwap cleared) and becomes the document path; one
/// that cannot be opened is skipped for the one after it; a read the person stops ends the
/// step. The caller then resets the view
/// (scroll to the top left, scroll bars, a detail run, the visible rectangle).
FolderStepResult stepInFolder(CSotavoDoc& doc, const std::string& path, bool forward);

/// The two commands: stepInFolder from the document path; enabled while canStepInFolder.
bool canStepInFolder(const CSotavoDoc& doc);
FolderStepResult loadNextInFolder(CSotavoDoc& doc);
FolderStepResult loadPreviousInFolder(CSotavoDoc& doc);

} // namespace velanox::document
