#include "cli/file_job.h"

#include "cli/cancel_signal.h"
#include "codec/exif/file_info_text.h"
#include "codec/format_table.h"
#include "color/auto_levels.h"
#include "document/crop_rotate.h"
#include "document/jpeg_quality.h"
#include "document/load_source.h"
#include "document/save_document.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <system_error>

namespace velanox::cli {

namespace {

ConstPixelBlock sourceBlock(const CSotavoDoc& doc) {
    return ConstPixelBlock(doc.sourceImage.pixels(), doc.sourceImage.width, doc.sourceImage.height,
                           3);
}

std::string sizeText(uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

// What the writer of the output's type holds while it makes the file, beyond the byte a pixel
// counted for a compressed one (measured on 41 and 400 MP pictures): the TIFF file (3 bytes a
// pixel); the BMP file and its row copy (6); ImageMagick's 16-bit pixel cache, the file and
// a copy for Targa and Photoshop (about 17 and 19).
uint32_t saveBytesPerPixel(const std::string& output) {
    switch (Picture::formatFromExtension(output)) {
    case kFormatTiff:
        return 2;
    case kFormatBmp:
        return 5;
    case kFormatTarga:
    case kFormatPsd:
        return 19;
    default:
        return 0;
    }
}

} // namespace

DocumentSettings documentSettingsFor(const CliOptions& options) {
    DocumentSettings settings;
    settings.JPGq = options.jpegQuality;
    settings.JPGES = options.enhancedSampling;
    settings.memory = options.memory;
    return settings;
}

std::string formatName(uint32_t formatId) {
    if (formatId == kFormatAuto) return "camera raw";
    const codec::FormatEntry* entry = codec::formatEntry(formatId);
    return entry != nullptr ? entry->name : "unknown";
}

FileJob::FileJob(const CliOptions& options, ProgressDisplay& display, int slot)
    : options_(options), display_(display), slot_(slot), host_(display, slot),
      doc_(std::make_unique<CSotavoDoc>(host_, documentSettingsFor(options))) {}

std::string FileJob::hostMessages() {
    std::string text;
    for (const std::string& m : host_.takeMessages())
        text += (text.empty() ? "" : "; ") + m;
    return text;
}

FileReport FileJob::run(const InputFile& input, const std::string& output) {
    const auto start = std::chrono::steady_clock::now();
    FileReport report;
    report.input = input.path;
    display_.fileStarted(slot_, std::filesystem::path(input.path).filename().string());
    host_.takeMessages();

    // The picture's run is reckoned with the file it will be saved as.
    doc_->memory.saveBytesPerPixel = saveBytesPerPixel(output);
    try {
        if (cancelRequested()) {
            report.status = FileStatus::Cancelled;
            report.message = "cancelled before it was started";
        } else if (const LoadResult loaded =
                       loadSource(*doc_, input.path, false,
                                  // A region leaves the rest of the result as the source shows it;
                                  // a whole-picture run makes every pixel of the result itself.
                                  options_.region ? ResultStart::CopyOfSource : ResultStart::Empty);
                   !loaded.loaded()) {
            report.message = "cannot read: " + (loaded.status.reason.empty()
                                                    ? std::string("the file cannot be read")
                                                    : loaded.status.reason);
            if (!loaded.status.detail.empty())
                report.message += " (" + readerSaidText(loaded.status.detail) + ")";
        } else if (options_.info) {
            const Picture& src = doc_->sourceImage;
            report.width = src.width;
            report.height = src.height;
            report.format = formatName(src.format);
            report.info = codec::fileInfoText(src);
            if (const engine::NoiseProfile* profile = doc_->noiseEstimate())
                report.noiseEstimate = profile->sigma;
            report.message = sizeText(doc_->sourceFile.sourceFileSize);
            report.status = FileStatus::Done;
        } else if (applyGeometry(report) && applyColourMatch(report)) {
            applySettings();
            if (processAndSave(output, report)) report.status = FileStatus::Done;
        }
    } catch (const std::exception& e) {
        // The core reports with status codes; this catches what the standard library throws
        // (allocation), so one file cannot end the batch.
        report.status = FileStatus::Failed;
        report.message = std::string("internal error: ") + e.what();
    }
    if (report.status != FileStatus::Done) report.output.clear();
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

bool FileJob::applyGeometry(FileReport& report) {
    CSotavoDoc& doc = *doc_;
    for (RotateDirection direction : options_.rotations) {
        if (rotateImage(doc.sourceImage, direction) != kPictureOk) {
            report.message = "Out of memory";
            return false;
        }
    }
    if (options_.crop) {
        const CropRequest& c = *options_.crop;
        doc.crop.cropMode = true;
        doc.crop.cropAspect = c.aspect;
        doc.crop.cropSwap = c.swap ? 1 : 0;
        doc.crop.cropZoom = c.zoom;
        doc.crop.cropOffsetX = c.offsetX;
        doc.crop.cropOffsetY = c.offsetY;
        // Leaving Full/Crop mode without asking applies the crop, as saving does.
        const LeaveCropOutcome left =
            leaveCropMode(doc.crop, false, doc.sourceImage, doc.cropDisplayImage, {});
        if (left.status != kPictureOk) {
            report.message = "Out of memory";
            return false;
        }
    }
    if ((!options_.rotations.empty() || options_.crop) &&
        doc.resultImage.copyFrom(doc.sourceImage) != kPictureOk) {
        report.message = "Out of memory";
        return false;
    }
    return true;
}

bool FileJob::applyColourMatch(FileReport& report) {
    CSotavoDoc& doc = *doc_;
    MatchValues& m = doc.colour.match;
    if (!options_.matchImage.empty()) {
        if (!referenceLoaded_) {
            const codec::Status st = loadReferenceImage(match_, doc, options_.matchImage);
            if (!st.ok()) {
                report.message =
                    "cannot read the reference " + options_.matchImage + ": " + st.reason;
                if (!st.detail.empty()) report.message += " (" + readerSaidText(st.detail) + ")";
                return false;
            }
            referenceLoaded_ = true;
        } else {
            m.matchActive = 1;
            m.matchTables = matchTablesToImage(match_, doc);
        }
    } else if (!options_.matchProfile.empty()) {
        if (!profileRead_) {
            const codec::Status st = match_.readProfile(options_.matchProfile);
            if (!st.ok()) {
                report.message =
                    "cannot read the profile " + options_.matchProfile + ": " + st.reason;
                return false;
            }
            profileRead_ = true;
        }
        m.matchActive = 2;
        m.matchTables = match_.buildMatchToProfile(sourceBlock(doc));
    }
    m.matchFade = options_.matchFade;
    return true;
}

void FileJob::applySettings() {
    CSotavoDoc& doc = *doc_;
    doc.noise = options_.noise;
    doc.display.outputWindowMode = options_.outputWindowMode;
    const uint32_t saveBytes = doc.memory.saveBytesPerPixel; // set for this file's output
    doc.memory = options_.memory;
    doc.memory.saveBytesPerPixel = saveBytes;
    doc.colour.tone = options_.tone;
    if (options_.autoLevels) {
        const AutoLevels levels = autoLevels(sourceBlock(doc));
        if (!options_.blackGiven) doc.colour.tone.blackPoint = levels.black;
        if (!options_.whiteGiven) doc.colour.tone.whitePoint = levels.white;
    }
    doc.jpeg.jpegQualitySetting = options_.jpegQuality;
    doc.jpeg.enhancedSamplingSetting = options_.enhancedSampling;
}

bool FileJob::processAndSave(const std::string& output, FileReport& report) {
    CSotavoDoc& doc = *doc_;
    report.output = output;

    if (options_.targetSize && Picture::formatFromExtension(output) == kFormatJpeg) {
        const uint64_t target =
            options_.targetSize->sameAsSource
                ? sourceDataSize(doc.sourceFile.sourceFileSize, doc.sourceFile.exifCopyLength())
                : uint64_t(options_.targetSize->bytes);
        // What Suggest Quality of the JPEG Options puts into the dialog, estimated on the source.
        doc.jpeg.jpegQualitySetting = suggestedQualitySetting(
            target, jpegSizeEstimator(doc.sourceImage, doc.jpeg.enhancedSamplingSetting != 0));
    }

    const bool asShown = options_.region || options_.outputWindowMode != kOutputResult;
    bool ok = false;
    std::string reason;
    if (asShown) {
        // The detail run (a region) or a run showing edges or noise: the result picture is
        // written as the view would show it, without the full-image run of Save.
        ProcessOutcome outcome;
        if (options_.region) {
            const Rect& r = *options_.region;
            doc.setDetailRect(r.left, r.top, r.right, r.bottom);
            outcome = doc.processImage(true);
        } else {
            outcome = doc.processImage(false);
        }
        if (outcome == ProcessOutcome::Done) {
            if (!hasWriterFor(output)) {
                reason = "There is no writer for this file type.";
            } else if (isReadOnlyFile(output)) {
                reason = kReadOnlyTargetMessage;
            } else if (writeResultImage(doc, output) != kPictureOk) {
                reason = couldNotSaveMessage(output, doc.resultImage.errorReason);
            } else {
                ok = true;
            }
        } else if (outcome == ProcessOutcome::NothingToDo) {
            reason = "nothing to process in that region";
        }
    } else {
        // Save, after its dialogs: refusals and failures are told to the host.
        ok = onSaveDocument(doc, output).saved();
    }

    if (doc.noise.nrMode == kNrModeAuto && doc.processing.noiseProfileKey != 0)
        report.noiseEstimate = doc.processing.noiseProfile.sigma;
    // Before a run has made the result it has the source's size.
    const Picture& result = doc.resultImage.hasPixels() ? doc.resultImage : doc.sourceImage;
    report.width = result.width;
    report.height = result.height;
    report.format = formatName(Picture::formatFromExtension(output));
    if (ok) return true;

    const std::string messages = hostMessages();
    if (cancelRequested()) {
        report.status = FileStatus::Cancelled;
        report.message = messages.empty() ? "cancelled" : messages;
    } else {
        report.message = !messages.empty() ? messages : !reason.empty() ? reason : "Can't save...";
        if (!messages.empty() && !reason.empty()) report.message += "; " + reason;
    }
    return false;
}

} // namespace velanox::cli
