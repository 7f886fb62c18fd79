// The one table of the codec layer: for every PictureFormat id its extensions, its content
// probe, its reader and its writer. Sniffing walks the table in order, specific signatures
// before generic ones.
#pragma once

#include "codec/codec.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace velanox::codec {

using ProbeFn = bool (*)(ByteSpan bytes);
using ClassifyFn = uint32_t (*)(ByteSpan bytes);
using ReadFn = Status (*)(ByteSpan bytes, Picture& out, const ReadOptions& options);
using WriteFn = Status (*)(const Picture& picture, std::vector<uint8_t>& out);

/// One row of the format table.
struct FormatEntry {
    uint32_t id;                                ///< PictureFormat id
    const char* name;                           ///< for reasons and logs
    std::array<std::string_view, 3> extensions; ///< lower case, without the dot
    ProbeFn probe;       ///< content sniffing; only the row of a family's main id has one
    ClassifyFn classify; ///< refines the main id by depth or colour mode; may be null
    ReadFn read;         ///< null while the family is not built in
    WriteFn write;       ///< null when the id has no writer
};

/// Every row, in sniffing order.
std::span<const FormatEntry> formatTable();

/// The row of a PictureFormat id, or null for kFormatAuto and unknown ids.
const FormatEntry* formatEntry(uint32_t id);

/// The camera raw decoder that automatic loading tries before detection. Both are null while
/// the raw family is not built in; tests may replace them.
struct RawDecoderHook {
    ProbeFn probe = nullptr;
    ReadFn read = nullptr;
};
RawDecoderHook& rawDecoderHook();

/// Format id from the extension of a path (text after the last '.', case-insensitive).
uint32_t formatFromExtension(std::string_view path);

/// Whether the path's extension (after the last '.', case-insensitive) belongs to one of today's
/// formats that the lists of the classic four-letter names leave out: .heic .heif .hif .avif
/// .webp .jxl.
bool hasModernFormatExtension(std::string_view path);

/// The family's main id from the content (the extension's when no probe recognises it), not
/// refined: byte checks only, no library looks at the bytes. kFormatAuto when neither knows it.
uint32_t sniffFormat(ByteSpan bytes, std::string_view path);

/// Format id from the content, refined by depth; when no probe recognises the content, the
/// extension's format refined the same way. kFormatAuto when neither knows the file.
uint32_t detectFormat(ByteSpan bytes, std::string_view path);

} // namespace velanox::codec
