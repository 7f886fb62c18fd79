// The reasons the codec libraries give, made fit to show to a person: the program's own words
// for the common cases (a file cut short, damaged compressed data), and for the rest the
// library's message without what only a developer reads (the names of the library's functions
// or of the program, the empty file name of an in-memory read, source locations).
#pragma once

#include <string>
#include <string_view>

namespace velanox::codec {

/// The message without a leading "name: " that names a function or program (a single word,
/// no blanks), a quoted file name ("`...'") and all after it, and a " @ file/function/line"
/// tail; with a capital first letter and a full stop. Empty when nothing is left.
std::string cleanLibraryMessage(std::string_view message);

/// "<subject>: " and the cleaned message ("<subject>: unreadable." when none is left); the subject
/// names what was read: "PCX file", "Windows Metafile".
std::string libraryReason(std::string_view subject, std::string_view message);

/// What to say for a libtiff error or damage warning.
std::string tiffReason(std::string_view message);

/// What to say for a libpng error.
std::string pngReason(std::string_view message);

/// What to say for an ImageMagick exception (Targa, PCX, Photoshop, WBMP, PhotoCD, BMP, WMF).
std::string magickReason(std::string_view subject, std::string_view message);

/// The reason every reader gives for a file that ends before its image data does.
std::string truncatedReason(std::string_view subject);

/// The reason every reader gives for compressed image data that cannot be decoded.
std::string damagedDataReason(std::string_view subject);

} // namespace velanox::codec
