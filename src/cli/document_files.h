// The document's file operations as the batch tool calls them: opening a source, saving the
// result, the save name proposal, the JPEG quality search and the colour-match reference.
//
// TEMPORARY: until the document layer's own operations are merged (loadSource, onSaveDocument,
// the save-name proposal, searchQuality, loadReferenceImage), these are thin stand-ins on
// Picture::load and Picture::save; each body is to be replaced by a call of the document's
// operation of the same purpose.
#pragma once

#include "codec/codec.h"
#include "color/color_match_state.h"
#include "document/csotavo_doc.h"

#include <cstdint>
#include <string>

namespace velanox::cli {

/// Reads path into the document's source picture with the per-image reset of loading.
codec::Status openSource(CSotavoDoc& doc, const std::string& path);

/// The full-image run and the save of the result to path, as Save does after its dialogs.
/// False when the run was cancelled or failed (its messages went to the host) or the file could
/// not be written (reason in `reason`).
bool saveDocument(CSotavoDoc& doc, const std::string& path, std::string& reason);

/// Writes the result picture as it is (after a region run or a diagnostic display run) with the
/// JPEG and EXIF settings a save uses.
codec::Status writeResult(CSotavoDoc& doc, const std::string& path);

/// The save dialog's proposal for a source path: the file name without its extension plus
/// "_NR" (a name without extension is kept as it is).
std::string proposedSaveName(const std::string& sourcePath);

/// The save dialog's default type for a source path, as an extension with its dot: the source's
/// own when a writer exists for it, else ".jpg".
std::string defaultSaveExtension(const std::string& sourcePath);

/// The JPEG Options dialog's Suggest Quality against target bytes, estimated on the source
/// picture with the document's sampling: the quality it sets.
int32_t suggestJpegQuality(const CSotavoDoc& doc, int64_t targetBytes);

/// The source's data size as the JPEG Options dialog takes it: the file size without its EXIF.
int64_t sourceDataSize(const CSotavoDoc& doc);

/// Loads path as the colour-match reference and turns matching to it on in the document.
codec::Status loadReference(ColorMatchState& match, CSotavoDoc& doc, const std::string& path);

} // namespace velanox::cli
