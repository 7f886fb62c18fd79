#include "cli/file_report.h"

#include <cstdio>

namespace velanox::cli {

namespace {

/// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t n = 0;
    uint32_t cp = 0;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0)
        n = 2, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        n = 3, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        n = 4, cp = c & 0x07;
    else
        return 0;
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not valid.
    static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
    return n;
}

} // namespace

const char* statusName(FileStatus status) {
    switch (status) {
    case FileStatus::Done:
        return "done";
    case FileStatus::Failed:
        return "failed";
    case FileStatus::Skipped:
        return "skipped";
    case FileStatus::Cancelled:
        return "cancelled";
    }
    return "failed";
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"':
            out += "\\\"";
            ++i;
            continue;
        case '\\':
            out += "\\\\";
            ++i;
            continue;
        case '\n':
            out += "\\n";
            ++i;
            continue;
        case '\r':
            out += "\\r";
            ++i;
            continue;
        case '\t':
            out += "\\t";
            ++i;
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
            ++i;
            continue;
        }
        const std::size_t n = utf8Length(text, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        out.append(text, i, n);
        i += n;
    }
    return out + "\"";
}

std::string jsonLine(const FileReport& r, bool withInfo) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
    std::string line =
        "{\"input\":" + jsonString(r.input) +
        ",\"output\":" + (r.output.empty() ? std::string("null") : jsonString(r.output)) +
        ",\"width\":" + std::to_string(r.width) + ",\"height\":" + std::to_string(r.height) +
        ",\"format\":" + jsonString(r.format) + ",\"seconds\":" + seconds +
        ",\"status\":" + jsonString(statusName(r.status)) + ",\"message\":" + jsonString(r.message);
    if (withInfo) line += ",\"info\":" + jsonString(r.info);
    return line + "}";
}

std::string textLine(const FileReport& r) {
    if (r.status != FileStatus::Done) return r.input + ": " + r.message;
    char tail[64];
    std::snprintf(tail, sizeof tail, " (%d x %d, %.2f s)", r.width, r.height, r.seconds);
    return r.input + " -> " + r.output + tail;
}

} // namespace velanox::cli
