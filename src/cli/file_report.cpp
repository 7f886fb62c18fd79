#include "cli/file_report.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace velanox::cli {

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

namespace {

/// One line of JSON; text that is not valid UTF-8 is written with U+FFFD in place of the
/// faulty bytes rather than refused.
std::string dumped(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

std::string jsonString(const std::string& text) {
    return dumped(text);
}

std::string jsonLine(const FileReport& r, bool withInfo) {
    // Keys in this order, as the report has always listed them.
    nlohmann::ordered_json line;
    line["input"] = r.input;
    line["output"] = r.output.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.output);
    line["width"] = r.width;
    line["height"] = r.height;
    line["format"] = r.format;
    line["seconds"] = std::round(r.seconds * 1000.0) / 1000.0; // milliseconds are enough
    line["status"] = statusName(r.status);
    line["message"] = r.message;
    if (withInfo) line["info"] = r.info;
    if (r.noiseEstimate >= 0.0) line["noiseEstimate"] = std::round(r.noiseEstimate * 100.0) / 100.0;
    return dumped(line);
}

std::string textLine(const FileReport& r) {
    if (r.status != FileStatus::Done) return r.input + ": " + r.message;
    char tail[64];
    std::snprintf(tail, sizeof tail, " (%d x %d, %.2f s)", r.width, r.height, r.seconds);
    return r.input + " -> " + r.output + tail;
}

} // namespace velanox::cli
