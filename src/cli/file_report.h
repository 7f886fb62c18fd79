// What the batch tool reports about each input: one line on stderr, or one JSON object on
// stdout with --json.
#pragma once

#include <string>

namespace velanox::cli {

enum class FileStatus {
    Done,
    Failed,    ///< could not be read, processed or written
    Skipped,   ///< not tried: its output exists, or another input writes the same output
    Cancelled, ///< interrupted, or not started because of an interrupt
};

struct FileReport {
    std::string input;
    std::string output; ///< empty when nothing was written
    int width = 0, height = 0;
    std::string format; ///< the written file's format (the input's with --info)
    double seconds = 0;
    FileStatus status = FileStatus::Failed;
    std::string message; ///< the reason for anything but Done
    std::string info;    ///< --info: the file information text
    /// The noise the automatic mode measured in the picture ("Estimated noise"), with --info and
    /// in automatic mode; negative when not measured.
    double noiseEstimate = -1.0;
};

const char* statusName(FileStatus status);

/// The string in double quotes with JSON escapes (quotes, backslashes, control characters);
/// bytes that are not valid UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);

/// One JSON object on one line: input, output, width, height, format, seconds, status,
/// message (and info with --info), noiseEstimate when it was measured.
std::string jsonLine(const FileReport& report, bool withInfo);

/// The stderr line: "input -> output (W x H, 1.23 s)" or "input: reason".
std::string textLine(const FileReport& report);

} // namespace velanox::cli
