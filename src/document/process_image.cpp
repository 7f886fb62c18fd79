// The document's processing run: which region, the busy state and the event pumping around the
// pipeline, the progress displays and cancelling.
#include "document/csotavo_doc.h"

#include "pipeline/run_observer.h"

#include <algorithm>

namespace velanox::document {

namespace {

// Hands the pipeline's reports to the document and its host.
class DocumentRunObserver final : public pipeline::RunObserver {
public:
    explicit DocumentRunObserver(CSotavoDoc& doc) : m_doc(doc) {}

    void showMessage(std::string_view text) override { m_doc.host().showMessage(text); }

    void setProgressText(std::string_view text) override {
        if (m_doc.processing.progressDialog != nullptr)
            m_doc.processing.progressDialog->setText(text);
    }

    int32_t engineProgress(int32_t step, int32_t total) override {
        return m_doc.onEngineProgress(step, total);
    }

    void runEnding() override {
        if (m_doc.processing.calculating == 0) return;
        m_doc.processing.calculating = 0;
        m_doc.host().setRunning(false);
    }

private:
    CSotavoDoc& m_doc;
};

// A fingerprint of a picture: its size and every byte of about 64 of its rows, spread over it.
// Loading, cropping and rotating all change it; the color steps do not touch the source.
uint64_t pictureKey(const codec::Picture& picture) {
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

bool sameGeometry(const codec::Picture& a, const codec::Picture& b) {
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
           b.hasPixels();
}

} // namespace

pipeline::ProcessOutcome CSotavoDoc::processImage(bool detailOnly) {
    WaitCursor wait(m_host);
    if (processing.calculating != 0) {
        // The events pumped by a run let timers ask for another run. The settings may have
        // changed since the current run read them, so a detail request is carried out once the
        // current run is over rather than dropped.
        if (detailOnly) processing.detailRunPending = true;
        return pipeline::ProcessOutcome::NothingToDo;
    }
    const pipeline::ProcessOutcome outcome = runOnce(detailOnly);
    // A whole-picture run (saving) leaves a pending request to the detail run its caller makes
    // next.
    while (detailOnly && processing.detailRunPending)
        runOnce(true);
    return outcome;
}

pipeline::ProcessOutcome CSotavoDoc::runOnce(bool detailOnly) {
    if (detailOnly) processing.detailRunPending = false;
    processing.cancelRequested = 0;
    if (crop.cropMode != 0 || !sourceImage.hasPixels() || sourceImage.bitsPerPixel != 24)
        return pipeline::ProcessOutcome::NothingToDo;
    if (processing.progressDialog != nullptr)
        processing.progressDialog->setText(pipeline::run_text::kStarting);

    const int32_t w = sourceImage.width, h = sourceImage.height;
    const core::Rect region =
        core::clipToImage(detailOnly ? display.detailRect : core::Rect{0, 0, w, h}, w, h);
    processing.cropWidth = region.width();
    processing.cropHeight = region.height();
    if (region.isEmpty()) return pipeline::ProcessOutcome::NothingToDo;

    // The result must have the source's layout for the run to write into it; outside the region
    // it shows the source, but a whole-picture run writes every pixel of it.
    const bool whole = region.width() == w && region.height() == h;
    if (!sameGeometry(sourceImage, resultImage) &&
        !(whole ? resultImage.copyLayoutFrom(sourceImage) : resultImage.copyFrom(sourceImage))
             .ok()) {
        m_host.showMessage(pipeline::run_text::kOutOfMemory);
        return pipeline::ProcessOutcome::Failed;
    }

    processing.calculating = 1;
    m_host.setRunning(true);
    m_host.updateAllViews();
    if (m_host.pumpEvents() == PumpResult::Quitting) processing.cancelRequested = 1;

    quickPreview.release();

    // The values are read after the pump, which may have changed them.
    pipeline::RegionRun run;
    run.source = core::ConstImageView(sourceImage.pixels(), w, h, 3);
    run.result = core::ImageView(resultImage.pixels(), w, h, 3);
    run.region = region;
    run.noise = noise;
    run.color = color;
    run.outputWindowMode = display.outputWindowMode;
    run.limits = memory;
    if (noise.nrMode == pipeline::kNrModeAuto) {
        run.noiseProfile = noiseEstimate();
        if (run.noiseProfile == nullptr) {
            m_host.showMessage(pipeline::run_text::kOutOfMemory);
            processing.calculating = 0;
            m_host.setRunning(false);
            return pipeline::ProcessOutcome::Failed;
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
    const pipeline::RunResult result = pipeline::processRegion(
        run, processing.workBuffer, processing.preNrBuffer, observer, &processing.engineWorkspace);
    observer.runEnding();
    if (result.outcome == pipeline::ProcessOutcome::Done) processing.resultValid = 1;

    processing.statusProgress.reset();
    m_host.updateAllViews();
    return result.outcome;
}

const engine::NoiseProfile* CSotavoDoc::noiseEstimate() {
    if (!sourceImage.hasPixels() || sourceImage.bitsPerPixel != 24) return nullptr;
    const uint64_t key = pictureKey(sourceImage);
    if (key == processing.noiseProfileKey) return &processing.noiseProfile;
    processing.noiseProfileKey = 0;
    if (!pipeline::estimatePictureNoise(
            core::ConstImageView(sourceImage.pixels(), sourceImage.width, sourceImage.height, 3),
            &processing.noiseProfile))
        return nullptr;
    processing.noiseProfileKey = key;
    return &processing.noiseProfile;
}

int32_t CSotavoDoc::onEngineProgress(int32_t step, int32_t total) {
    ProgressDialog* dialog = processing.progressDialog;
    if (!processing.statusProgress) {
        processing.statusProgress = m_host.createStatusProgress(total);
        if (dialog != nullptr) {
            dialog->setRange(0, total);
            dialog->setText(pipeline::run_text::kDenoising);
        }
    } else if (processing.statusProgress->isShown()) {
        processing.statusProgress->setPosition(step);
    }
    if (dialog != nullptr) dialog->setPosition(step);

    // An Escape press stays pending for the rest of the run, so every later call (every later
    // tile) sees it too.
    if (m_host.escapePending()) return 1;
    if (m_host.pumpEvents() == PumpResult::Quitting) return 1;
    if (m_host.escapePending()) return 1;

    if (dialog != nullptr && dialog->cancelPressed()) processing.cancelRequested = 1;
    return processing.cancelRequested;
}

} // namespace velanox::document
