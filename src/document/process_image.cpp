// The document's processing run: which region, the busy state and the event pumping around the
// pipeline, the progress displays and cancelling.
#include "document/csotavo_doc.h"

#include "pipeline/run_observer.h"

#include <algorithm>

namespace velanox {

namespace {

// Hands the pipeline's reports to the document and its host.
class DocumentRunObserver final : public RunObserver {
public:
    explicit DocumentRunObserver(CSotavoDoc& doc) : doc_(doc) {}

    void showMessage(std::string_view text) override { doc_.host().showMessage(text); }

    void setProgressText(std::string_view text) override {
        if (doc_.processing.progressDialog != nullptr)
            doc_.processing.progressDialog->setText(text);
    }

    int32_t engineProgress(int32_t step, int32_t total) override {
        return doc_.onEngineProgress(step, total);
    }

    void runEnding() override {
        if (doc_.processing.calculating == 0) return;
        doc_.processing.calculating = 0;
        doc_.host().setRunning(false);
    }

private:
    CSotavoDoc& doc_;
};

// A fingerprint of a picture: its size and every byte of about 64 of its rows, spread over it.
// Loading, cropping and rotating all change it; the colour steps do not touch the source.
uint64_t pictureKey(const Picture& picture) {
    uint64_t h = 1469598103934665603ull; // FNV-1a
    auto mix = [&h](uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    mix(uint64_t(picture.width));
    mix(uint64_t(picture.height));
    const std::size_t rowBytes = std::size_t(picture.width) * 3;
    const int32_t step = std::max(1, picture.height / 64);
    for (int32_t y = 0; y < picture.height; y += step) {
        const uint8_t* row = picture.pixels() + std::size_t(y) * rowBytes;
        for (std::size_t i = 0; i < rowBytes; ++i)
            mix(row[i]);
    }
    return h == 0 ? 1 : h;
}

bool sameGeometry(const Picture& a, const Picture& b) {
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
           b.hasPixels();
}

} // namespace

ProcessOutcome CSotavoDoc::processImage(bool detailOnly) {
    WaitCursor wait(host_);
    if (processing.calculating != 0) {
        // The events pumped by a run let timers ask for another run. The settings may have
        // changed since the current run read them, so a detail request is carried out once the
        // current run is over rather than dropped.
        if (detailOnly) processing.detailRunPending = true;
        return ProcessOutcome::NothingToDo;
    }
    const ProcessOutcome outcome = runOnce(detailOnly);
    // A whole-picture run (saving) leaves a pending request to the detail run its caller makes
    // next.
    while (detailOnly && processing.detailRunPending)
        runOnce(true);
    return outcome;
}

ProcessOutcome CSotavoDoc::runOnce(bool detailOnly) {
    if (detailOnly) processing.detailRunPending = false;
    processing.cancelRequested = 0;
    if (crop.cropMode != 0 || !sourceImage.hasPixels() || sourceImage.bitsPerPixel != 24)
        return ProcessOutcome::NothingToDo;
    if (processing.progressDialog != nullptr)
        processing.progressDialog->setText(run_text::kStarting);

    const int32_t w = sourceImage.width, h = sourceImage.height;
    const Rect region = clipToImage(detailOnly ? display.detailRect : Rect{0, 0, w, h}, w, h);
    processing.cropWidth = region.width();
    processing.cropHeight = region.height();
    if (region.isEmpty()) return ProcessOutcome::NothingToDo;

    // The result must have the source's layout for the run to write into it; outside the region
    // it shows the source, but a whole-picture run writes every pixel of it.
    const bool whole = region.width() == w && region.height() == h;
    if (!sameGeometry(sourceImage, resultImage) &&
        (whole ? resultImage.copyLayoutFrom(sourceImage) : resultImage.copyFrom(sourceImage)) !=
            kPictureOk) {
        host_.showMessage(run_text::kOutOfMemory);
        return ProcessOutcome::Failed;
    }

    processing.calculating = 1;
    host_.setRunning(true);
    host_.updateAllViews();
    if (host_.pumpEvents() == PumpResult::Quitting) processing.cancelRequested = 1;

    quickPreview.release();

    // The values are read after the pump, which may have changed them.
    RegionRun run;
    run.source = sourceImage.pixels();
    run.result = resultImage.pixels();
    run.imageWidth = w;
    run.imageHeight = h;
    run.region = region;
    run.noise = noise;
    run.colour = colour;
    run.outputWindowMode = display.outputWindowMode;
    run.limits = memory;
    if (noise.nrMode == kNrModeAuto) {
        run.noiseProfile = noiseEstimate();
        if (run.noiseProfile == nullptr) {
            host_.showMessage(run_text::kOutOfMemory);
            processing.calculating = 0;
            host_.setRunning(false);
            return ProcessOutcome::Failed;
        }
        run.autoWorkspace = &processing.autoWorkspace;
    }

    // A whole-picture run's planes are far larger than a detail run needs, and a detail run
    // keeps what it is given: they go before the next detail run, not after the whole run.
    if (detailOnly && processing.workspaceOfWholeRun) {
        processing.engineWorkspace.release();
        processing.autoWorkspace.release();
    }
    processing.workspaceOfWholeRun = !detailOnly;
    DocumentRunObserver observer(*this);
    const RunResult result = processRegion(run, processing.workBuffer, processing.preNrBuffer,
                                           observer, &processing.engineWorkspace);
    observer.runEnding();
    if (result.outcome == ProcessOutcome::Done) processing.resultValid = 1;

    processing.statusProgress.reset();
    host_.updateAllViews();
    return result.outcome;
}

const engine::NoiseProfile* CSotavoDoc::noiseEstimate() {
    if (!sourceImage.hasPixels() || sourceImage.bitsPerPixel != 24) return nullptr;
    const uint64_t key = pictureKey(sourceImage);
    if (key == processing.noiseProfileKey) return &processing.noiseProfile;
    processing.noiseProfileKey = 0;
    if (!estimatePictureNoise(sourceImage.pixels(), sourceImage.width, sourceImage.height,
                              &processing.noiseProfile))
        return nullptr;
    processing.noiseProfileKey = key;
    return &processing.noiseProfile;
}

int32_t CSotavoDoc::onEngineProgress(int32_t step, int32_t total) {
    ProgressDialog* dialog = processing.progressDialog;
    if (!processing.statusProgress) {
        processing.statusProgress = host_.createStatusProgress(total);
        if (dialog != nullptr) {
            dialog->setRange(0, total);
            dialog->setText(run_text::kDenoising);
        }
    } else if (processing.statusProgress->isShown()) {
        processing.statusProgress->setPosition(step);
    }
    if (dialog != nullptr) dialog->setPosition(step);

    // An Escape press stays pending for the rest of the run, so every later call (every later
    // tile) sees it too.
    if (host_.escapePending()) return 1;
    if (host_.pumpEvents() == PumpResult::Quitting) return 1;
    if (host_.escapePending()) return 1;

    if (dialog != nullptr && dialog->cancelPressed()) processing.cancelRequested = 1;
    return processing.cancelRequested;
}

} // namespace velanox
