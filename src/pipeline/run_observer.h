// What a processing run needs from whoever runs it: a place for its messages, the progress
// dialog's text, the engine's progress callback and the end of the busy state. The pipeline never
// shows anything itself; the document forwards these to its Host.
#pragma once

#include <cstdint>
#include <string_view>

namespace velanox::pipeline {

/// Receives the texts the user must see, exactly as given, one modal message each.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(std::string_view text) = 0;
};

class RunObserver : public MessageSink {
public:
    /// Sets the text of the progress dialog when one is shown; otherwise does nothing.
    virtual void setProgressText(std::string_view text) = 0;
    /// The engine's progress callback: step from 1 up to total; non-zero cancels the run.
    virtual int32_t engineProgress(int32_t step, int32_t total) = 0;
    /// The run's work on the pixels is over (successfully or not); its messages may follow.
    virtual void runEnding() = 0;
};

/// The texts a run reports, exactly as the user sees them.
namespace run_text {
inline constexpr std::string_view kOutOfMemory = "Out of memory";
inline constexpr std::string_view kWorkBufferOutOfMemory = "Out of memeory #2";
inline constexpr std::string_view kPreNrOutOfMemory = "Memory Error (out of memeory)";
inline constexpr std::string_view kCancelled = "Operation cancelled";
inline constexpr std::string_view kFailed = "Operation failed";
inline constexpr std::string_view kInvalidParameter = "Invalid parameter given";
inline constexpr std::string_view kUnknownError = "Unknown Noise Reduce error";
inline constexpr std::string_view kStarting = "Starting process...";
inline constexpr std::string_view kPreparing = "Preparing buffers...";
// While tiling: "Processing block %d/%d..." with the tile number from 1 and the tile count.
inline constexpr std::string_view kDenoising = "Denoising...";
inline constexpr std::string_view kFinishing = "Finishing...";
} // namespace run_text

} // namespace velanox::pipeline
