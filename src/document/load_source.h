// The ways a picture enters the document: opening a file, reloading it, dropping it on the view,
// pasting a 24-bit picture, and loading the colour-match reference. A file is read into a
// temporary picture and only a picture that was read completely replaces the source, so a file
// that cannot be opened leaves the current picture, result, path and settings as they were.
#pragma once

#include "codec/codec.h"
#include "color/color_match_state.h"
#include "document/csotavo_doc.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velanox::document {

/// The title of a document without a file.
inline constexpr const char* kUntitledTitle = "Untitled";

enum class LoadOutcome {
    Loaded,    ///< the new picture is the source; per-image state was reset
    Ignored,   ///< nothing was tried: a run is on, no file at the path, a name the drop refuses
    Failed,    ///< the file could not be read; the document is unchanged; status says why
    Cancelled, ///< the person stopped the read (the host's wait said so); nothing changed and
               ///< nothing is shown
};

/// What the result picture holds after a load: a copy of the source, as the view shows it, or
/// nothing (the batch tool, whose whole-picture run writes every result pixel anyway).
enum class ResultStart { CopyOfSource, Empty };

struct LoadResult {
    LoadOutcome outcome = LoadOutcome::Ignored;
    core::Status status; ///< the reason when Failed
    bool loaded() const { return outcome == LoadOutcome::Loaded; }
};

/// "Cannot open <file>: <reason>".
std::string cannotOpenMessage(const std::string& path, const std::string& reason);
/// cannotOpenMessage with the reader's own words, when it said something, on a second line.
std::string cannotOpenMessage(const std::string& path, const core::Status& status);
/// The reader's own words as the messages show them: "The reader said: <detail>".
std::string readerSaidText(const std::string& detail);

/// The document's load. Reads path in automatic format (camera raw first) and, on success,
/// makes it the source: crop window neutral and crop mode left (re-entered with a neutral
/// window when it was on), cropSwap cleared unless keepCropSwap, colour match off with identity
/// tables and no fade, levels 0..255, the Image tab; gamma, exposure, colour boost and the noise
/// settings keep their values. sourceFileSize, exifCopy and exifOrientation come from the file,
/// resultImage becomes a copy of the source (or, with ResultStart::Empty, has no pixels until a
/// run makes it) and the views are updated. The document path is not changed and nothing is
/// shown: a failure is returned with its reason, a read the person stopped as Cancelled.
/// Ignored while a run is on.
LoadResult loadSource(CSotavoDoc& doc, const std::string& path, bool keepCropSwap,
                      ResultStart result = ResultStart::CopyOfSource);

/// Open (also a file named on the command line): loadSource without keeping cropSwap; on
/// success the document path becomes path. A failure is shown through the host as
/// cannotOpenMessage and returned; a cancelled read shows nothing.
LoadResult onOpenDocument(CSotavoDoc& doc, const std::string& path);

/// Reload Current File is enabled: the source has pixels, the document has a path and no run is
/// on.
bool canReload(const CSotavoDoc& doc);

/// Reload Current File: loadSource of the document path keeping cropSwap. Ignored when no file
/// exists there any more or canReload is false; a failure is shown as on Open.
LoadResult reloadSource(CSotavoDoc& doc);

/// Whether a file dropped on the view is taken: its last four characters, lower-cased, are
/// ".jpg", ".png", ".bmp", ".tif", ".tga" or ".pcx", or its extension is one of today's formats
/// (.heic .heif .hif .avif .webp .jxl).
bool isDroppableImageName(const std::string& path);

/// A file dropped on the view (the first of the dropped files): names isDroppableImageName
/// refuses are ignored without a word; otherwise as onOpenDocument.
LoadResult dropFile(CSotavoDoc& doc, const std::string& path);

/// Paste: a 24-bit picture, red first, rows top to bottom stride bytes apart (stride 0:
/// width * 3), becomes the source with the per-image reset of loadSource (cropSwap cleared),
/// sourceFileSize width * height * 3, no EXIF and orientation 1, resolution 300 x 300 without
/// unit. The document keeps no path (its title is "Untitled"). Ignored while a run is on or
/// without pixels; Failed when memory runs out.
LoadResult pasteImage(CSotavoDoc& doc, const uint8_t* rgb, int32_t width, int32_t height,
                      std::size_t stride = 0);

/// The document's title: the file name of its path, or "Untitled" without one.
std::string documentTitle(const CSotavoDoc& doc);

/// Colour matching to a picture file: reads path (automatic format) into a temporary picture,
/// makes it the reference of match (its thumbnail, then its statistics in the colours of the
/// document's source), turns matching to the reference on in the document and rebuilds the
/// document's match tables against its source. A file that cannot be read leaves the
/// reference, the tables and the mode as they were and returns the reason (nothing is shown);
/// a read the person stopped returns core::StatusCode::Cancelled.
core::Status loadReferenceImage(color::ColorMatchState& match, CSotavoDoc& doc,
                                const std::string& path);

/// The match tables of the document's source against the reference (the identity without a
/// source or a reference). When the reference's statistics were taken in another colour
/// profile than the source's, the reference file is read again and counted in the source's.
color::MatchTables matchTablesToImage(color::ColorMatchState& match, CSotavoDoc& doc);

} // namespace velanox::document
