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

core::ConstImageView sourceBlock(const document::CSotavoDoc& doc) {
    return core::ConstImageView(doc.sourceImage.pixels(), doc.sourceImage.width,
                                doc.sourceImage.height, 3);
}

std::string sizeText(uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

// What the writer of the output's type holds while it makes the file, beyond the byte a pixel
// counted for a compressed one (measured on 41 and 400 MP pictures): the TIFF file (3 bytes a
// pixel); the BMP file and its row copy (6); ImageMagick's 16-bit pixel cache, the file and
// a copy for Targa and Photoshop (about 17 and 19).
uint32_t saveBytesPerPixel(const std::string& output) {
    switch (codec::Picture::formatFromExtension(output)) {
    case codec::kFormatTiff:
        return 2;
    case codec::kFormatBmp:
        return 5;
    case codec::kFormatTarga:
    case codec::kFormatPsd:
        return 19;
    default:
        return 0;
    }
}

} // namespace

document::DocumentSettings documentSettingsFor(const CliOptions& options) {
    document::DocumentSettings settings;
    settings.JPGq = options.jpegQuality;
    settings.JPGES = options.enhancedSampling;
    settings.memory = options.memory;
    return settings;
}

std::string formatName(uint32_t formatId) {
    if (formatId == codec::kFormatAuto) return "camera raw";
    const codec::FormatEntry* entry = codec::formatEntry(formatId);
    return entry != nullptr ? entry->name : "unknown";
}

FileJob::FileJob(const CliOptions& options, ProgressDisplay& display, int slot)
    : m_options(options), m_display(display), m_slot(slot), m_host(display, slot),
      m_doc(std::make_unique<document::CSotavoDoc>(m_host, documentSettingsFor(options))) {}

std::string FileJob::hostMessages() {
    std::string text;
    for (const std::string& m : m_host.takeMessages())
        text += (text.empty() ? "" : "; ") + m;
    return text;
}

FileReport FileJob::run(const InputFile& input, const std::string& output) {
    const auto start = std::chrono::steady_clock::now();
    FileReport report;
    report.input = input.path;
    m_display.fileStarted(m_slot, std::filesystem::path(input.path).filename().string());
    m_host.takeMessages();

    // The picture's run is reckoned with the file it will be saved as.
    m_doc->memory.saveBytesPerPixel = saveBytesPerPixel(output);
    try {
        if (cancelRequested()) {
            report.status = FileStatus::Cancelled;
            report.message = "cancelled before it was started";
        } else if (const document::LoadResult loaded = document::loadSource(
                       *m_doc, input.path, false,
                       // A region leaves the rest of the result as the source shows it;
                       // a whole-picture run makes every pixel of the result itself.
                       m_options.region ? document::ResultStart::CopyOfSource
                                        : document::ResultStart::Empty);
                   !loaded.loaded()) {
            report.message = "cannot read: " + (loaded.status.reason.empty()
                                                    ? std::string("the file cannot be read")
                                                    : loaded.status.reason);
            if (!loaded.status.detail.empty())
                report.message += " (" + document::readerSaidText(loaded.status.detail) + ")";
        } else if (m_options.info) {
            const codec::Picture& src = m_doc->sourceImage;

            report.width = src.width;
            report.height = src.height;
            report.format = formatName(src.info.format);
            report.info = codec::fileInfoText(src);
            if (const engine::NoiseProfile* profile = m_doc->noiseEstimate())
                report.noiseEstimate = profile->sigma;
            report.message = sizeText(m_doc->sourceFile.sourceFileSize);

            report.status = FileStatus::Done;
        } else if (applyGeometry(report) && applyColorMatch(report)) {
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
    document::CSotavoDoc& doc = *m_doc;
    for (document::RotateDirection direction : m_options.rotations) {
        if (!document::rotateImage(doc.sourceImage, direction).ok()) {
            report.message = "Out of memory";
            return false;
        }
    }
    if (m_options.crop) {
        const CropRequest& c = *m_options.crop;
        doc.crop.cropMode = true;
        doc.crop.cropAspect = c.aspect;
        doc.crop.cropSwap = c.swap ? 1 : 0;
        doc.crop.cropZoom = c.zoom;
        doc.crop.cropOffsetX = c.offsetX;
        doc.crop.cropOffsetY = c.offsetY;
        // Leaving Full/Crop mode without asking applies the crop, as saving does.
        const document::LeaveCropOutcome left =
            document::leaveCropMode(doc.crop, false, doc.sourceImage, doc.cropDisplayImage, {});
        if (!left.status.ok()) {
            report.message = "Out of memory";
            return false;
        }
    }
    if ((!m_options.rotations.empty() || m_options.crop) &&
        !doc.resultImage.copyFrom(doc.sourceImage).ok()) {
        report.message = "Out of memory";
        return false;
    }
    return true;
}

bool FileJob::applyColorMatch(FileReport& report) {
    document::CSotavoDoc& doc = *m_doc;
    color::MatchValues& m = doc.color.match;
    if (!m_options.matchImage.empty()) {
        if (!m_referenceLoaded) {
            const core::Status st =
                document::loadReferenceImage(m_match, doc, m_options.matchImage);
            if (!st.ok()) {
                report.message =
                    "cannot read the reference " + m_options.matchImage + ": " + st.reason;
                if (!st.detail.empty())
                    report.message += " (" + document::readerSaidText(st.detail) + ")";

                return false;
            }
            m_referenceLoaded = true;
        } else {
            m.matchActive = 1;
            m.matchTables = document::matchTablesToImage(m_match, doc);
        }
    } else if (!m_options.matchProfile.empty()) {
        if (!m_profileRead) {
            const core::Status st = m_match.readProfile(m_options.matchProfile);
            if (!st.ok()) {
                report.message =
                    "cannot read the profile " + m_options.matchProfile + ": " + st.reason;
                return false;
            }
            m_profileRead = true;
        }
        m.matchActive = 2;
        m.matchTables = m_match.buildMatchToProfile(sourceBlock(doc));
    }
    m.matchFade = m_options.matchFade;
    return true;
}

void FileJob::applySettings() {
    document::CSotavoDoc& doc = *m_doc;
    doc.noise = m_options.noise;
    doc.display.outputWindowMode = m_options.outputWindowMode;
    const uint32_t saveBytes = doc.memory.saveBytesPerPixel; // set for this file's output
    doc.memory = m_options.memory;
    doc.memory.saveBytesPerPixel = saveBytes;
    doc.color.tone = m_options.tone;
    if (m_options.autoLevels) {
        const color::AutoLevels levels = color::autoLevels(sourceBlock(doc));
        if (!m_options.blackGiven) doc.color.tone.blackPoint = levels.black;
        if (!m_options.whiteGiven) doc.color.tone.whitePoint = levels.white;
    }
    doc.jpeg.jpegQualitySetting = m_options.jpegQuality;
    doc.jpeg.enhancedSamplingSetting = m_options.enhancedSampling;
}

bool FileJob::processAndSave(const std::string& output, FileReport& report) {
    document::CSotavoDoc& doc = *m_doc;
    report.output = output;

    if (m_options.targetSize && codec::Picture::formatFromExtension(output) == codec::kFormatJpeg) {
        const uint64_t target = m_options.targetSize->sameAsSource
                                    ? document::sourceDataSize(doc.sourceFile.sourceFileSize,
                                                               doc.sourceFile.exifCopyLength())
                                    : uint64_t(m_options.targetSize->bytes);
        // What Suggest Quality of the JPEG Options puts into the dialog, estimated on the source.
        doc.jpeg.jpegQualitySetting = document::suggestedQualitySetting(
            target,
            document::jpegSizeEstimator(doc.sourceImage, doc.jpeg.enhancedSamplingSetting != 0));
    }

    const bool asShown = m_options.region || m_options.outputWindowMode != pipeline::kOutputResult;
    bool ok = false;
    std::string reason;
    if (asShown) {
        // The detail run (a region) or a run showing edges or noise: the result picture is
        // written as the view would show it, without the full-image run of Save.
        pipeline::ProcessOutcome outcome;
        if (m_options.region) {
            const core::Rect& r = *m_options.region;
            doc.setDetailRect(r.left, r.top, r.right, r.bottom);
            outcome = doc.processImage(true);
        } else {
            outcome = doc.processImage(false);
        }
        if (outcome == pipeline::ProcessOutcome::Done) {
            if (!document::hasWriterFor(output)) {
                reason = "There is no writer for this file type.";
            } else if (document::isReadOnlyFile(output)) {
                reason = document::kReadOnlyTargetMessage;
            } else if (const core::Status written = document::writeResultImage(doc, output);
                       !written.ok()) {
                reason = document::couldNotSaveMessage(output, written.reason);
            } else {
                ok = true;
            }
        } else if (outcome == pipeline::ProcessOutcome::NothingToDo) {
            reason = "nothing to process in that region";
        }
    } else {
        // Save, after its dialogs: refusals and failures are told to the host.
        ok = document::onSaveDocument(doc, output).saved();
    }

    if (doc.noise.nrMode == pipeline::kNrModeAuto && doc.processing.noiseProfileKey != 0)
        report.noiseEstimate = doc.processing.noiseProfile.sigma;
    // Before a run has made the result it has the source's size.
    const codec::Picture& result = doc.resultImage.hasPixels() ? doc.resultImage : doc.sourceImage;
    report.width = result.width;
    report.height = result.height;
    report.format = formatName(codec::Picture::formatFromExtension(output));
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
