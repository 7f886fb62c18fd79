// Saving: the whole picture is processed, then resultImage is written with the JPEG settings,
// the source's EXIF segment and orientation and the source's resolution, then the detail area
// is processed again for the view. Nothing is written unless the whole-picture run finished,
// and an existing file is replaced only by a complete new one.
#pragma once

#include "codec/codec.h"
#include "codec/picture.h"
#include "document/csotavo_doc.h"

#include <string>

namespace velanox::document {

inline constexpr const char* kCantSaveMessage = "Can't save...";
inline constexpr const char* kReadOnlyTargetMessage =
    "The existing file is read only and it can't be overwritten.";
inline constexpr const char* kNothingSavedMessage = "Nothing was saved!";
inline constexpr const char* kSavingFileText = "Saving file...";

enum class SaveOutcome {
    Saved,
    Busy,          ///< a run is on; nothing happened, nothing shown
    NoWriter,      ///< no writer for the file type; shown, nothing processed or written
    RunStopped,    ///< the whole-picture run was cancelled or failed; its own message was shown
    NothingToSave, ///< no picture to save; "Can't save..." shown
    ReadOnly,      ///< the target exists and is read only; shown
    WriteFailed,   ///< the writer failed; "Could not save <file>: <reason>" shown
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Busy;
    core::Status status; ///< the reason when not Saved
    bool saved() const { return outcome == SaveOutcome::Saved; }
};

/// "Could not save <file>: <reason>".
std::string couldNotSaveMessage(const std::string& path, const std::string& reason);

/// Whether a save to path with formatId (kFormatAuto: from the extension) has a writer.
bool hasWriterFor(const std::string& path, uint32_t formatId = codec::kFormatAuto);

/// Whether path names an existing file that may not be replaced (no write permission). A
/// symbolic link is judged by the file it names.
bool isReadOnlyFile(const std::string& path);

/// Writes resultImage as it stands, with what a save adds to it: the JPEG quality and sampling
/// settings, a copy of exifCopy, exifOrientation and the source's save resolution. Returns the
/// save's status. onSaveDocument writes through this; the command-line tool also writes a region
/// run's result with it.
core::Status writeResultImage(CSotavoDoc& doc, const std::string& path,
                              uint32_t formatId = codec::kFormatAuto);

/// Processes and writes the document's picture to path (formatId kFormatAuto: the format of
/// the extension). In order: the output display goes back to the normal result; Full/Crop mode
/// is left with the pending crop applied; the whole picture is processed with the host's
/// progress window open; resultImage receives the JPEG quality and sampling settings, a copy of
/// exifCopy, exifOrientation and the source's save resolution and is written; the detail
/// rectangle is processed again. Every refusal and failure except Busy is shown through the
/// host; the document's path is never changed.
SaveResult onSaveDocument(CSotavoDoc& doc, const std::string& path,
                          uint32_t formatId = codec::kFormatAuto);

} // namespace velanox::document
