#include "codec/library_reason.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace velanox::codec {

namespace {

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool containsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
    return std::any_of(parts.begin(), parts.end(),
                       [&](std::string_view p) { return contains(text, p); });
}

// A leading "TIFFFillStrip: ", "velanox-nr-cli: ", "memory: ": one word naming a function, a
// program or the in-memory file, not part of the sentence.
std::string_view withoutNamePrefix(std::string_view text) {
    const std::size_t colon = text.find(": ");
    if (colon == std::string_view::npos || colon == 0 || colon > 48) return text;
    const std::string_view name = text.substr(0, colon);
    const bool oneWord = std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_' || c == '-' || c == '.';
    });
    return oneWord ? text.substr(colon + 2) : text;
}

// The name quoted in a message such as: IO error during reading of "Model"; tag ignored.
std::string quotedName(std::string_view text) {
    const std::size_t open = text.find('"');
    if (open == std::string_view::npos) return {};
    const std::size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) return {};
    return std::string(text.substr(open + 1, close - open - 1));
}

} // namespace

std::string cleanLibraryMessage(std::string_view message) {
    std::string_view text = message;
    if (const std::size_t at = text.find(" @ "); at != std::string_view::npos)
        text = text.substr(0, at);
    // Twice: "velanox-nr-cli: TIFFReadDirectory: ..." holds two names.
    text = withoutNamePrefix(withoutNamePrefix(text));
    if (const std::size_t quote = text.find('`'); quote != std::string_view::npos)
        text = text.substr(0, quote);
    while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) ||
                             text.back() == ':' || text.back() == ';' || text.back() == ','))
        text.remove_suffix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    std::string out(text);
    if (out.empty()) return out;
    out[0] = char(std::toupper(static_cast<unsigned char>(out[0])));
    if (out.back() != '.' && out.back() != '!' && out.back() != '?') out += '.';
    return out;
}

std::string libraryReason(std::string_view subject, std::string_view message) {
    std::string text = cleanLibraryMessage(message);
    if (text.empty()) return std::string(subject) + ": unreadable.";
    // After "PCX file: " the sentence goes on in lower case unless it starts with a name.
    if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
        std::islower(static_cast<unsigned char>(text[1])))
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return std::string(subject) + ": " + text;
}

std::string truncatedReason(std::string_view subject) {
    return std::string(subject) + ": the file ends before its image data does.";
}

std::string damagedDataReason(std::string_view subject) {
    return std::string(subject) + ": the compressed image data is damaged.";
}

std::string tiffReason(std::string_view message) {
    const std::string_view text = message;
    // Reads beyond the end of the file: a strip or directory cut off, or an offset past the end
    // (for which libtiff reports "got" a negative count as a huge unsigned number).
    if (containsAny(text, {"Read error on strip", "Read error at scanline", "Read error on row",
                           "Read error on tile", "Not enough data at scanline",
                           "Not enough data for scanline", "Cannot read tile",
                           "Seek error accessing TIFF directory"}))
        return truncatedReason("TIFF file");
    if (containsAny(text, {"Can not read TIFF directory", "Cannot read TIFF directory",
                           "Sanity check on directory count failed"}))
        return "TIFF file: its directory is missing or cut short.";
    if (contains(text, "Too large strip byte count"))
        return "TIFF file: a strip of image data claims more bytes than the file holds.";
    if (contains(text, "IO error during reading of")) {
        const std::string tag = quotedName(text);
        return tag.empty() ? "TIFF file: a tag's data lie beyond the end of the file."
                           : "TIFF file: the data of the tag \"" + tag +
                                 "\" lie beyond the end of the file.";
    }
    if (contains(text, "Sanity check on tag")) {
        const std::string tag = quotedName(text);
        return tag.empty() ? "TIFF file: a tag holds an impossible value."
                           : "TIFF file: the tag \"" + tag + "\" holds an impossible value.";
    }
    // The decoders of the compression schemes: the data do not decode.
    if (containsAny(text, {"Decode", "Decoding error", "decoded string", "code not yet in table",
                           "Bad code word", "Corrupted", "corrupted", "Premature EOL",
                           "Premature EOF", "Bogus"}))
        return damagedDataReason("TIFF file");
    return libraryReason("TIFF file", text);
}

std::string pngReason(std::string_view message) {
    const std::string_view text = message;
    if (contains(text, "CRC error")) {
        const std::string chunk(text.substr(0, std::min<std::size_t>(text.find(':'), 4)));
        return "PNG file: the \"" + chunk + "\" chunk is damaged (its checksum does not match).";
    }
    if (containsAny(text, {"Not enough image data", "Read Error", "ends early", "Truncated"}))
        return truncatedReason("PNG file");
    if (text.rfind("IDAT", 0) == 0 ||
        containsAny(text, {"bad adaptive filter", "invalid distance", "invalid literal",
                           "invalid code", "invalid block type", "incorrect header check",
                           "incorrect data check", "Extra compressed data"}))
        return damagedDataReason("PNG file");
    if (contains(text, "invalid chunk type")) return "PNG file: a chunk has an impossible type.";
    // "IHDR: invalid" and the like name the chunk, which is worth keeping.
    if (text.size() > 6 && text[4] == ':' && text[5] == ' ') {
        const std::string chunk(text.substr(0, 4)), detail(text.substr(6));
        return "PNG file: the \"" + chunk + "\" chunk is not valid" +
               (detail == "invalid" ? std::string(".") : " (" + detail + ").");
    }
    return libraryReason("PNG file", text);
}

std::string magickReason(std::string_view subject, std::string_view message) {
    const std::string clean = cleanLibraryMessage(message);
    if (containsAny(clean, {"nexpected end-of-file", "nsufficient image data", "nable to read",
                            "nexpected end of file"}))
        return truncatedReason(subject);
    if (contains(clean, "mproper image header"))
        return std::string(subject) + ": the header is not valid.";
    if (contains(clean, "ailed to scan file"))
        return std::string(subject) + ": its records are damaged.";
    if (contains(clean, "orrupt image")) return damagedDataReason(subject);
    return libraryReason(subject, clean);
}

} // namespace velanox::codec
