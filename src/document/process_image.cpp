// The document's processing run: which region, the busy state and the event pumping around the
// pipeline, the progress displays and cancelling.
#include "document/csotavo_doc.h"

#include "pipeline/run_observer.h"

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

    // The result must have the source's layout for the run to write into it.
    if (!sameGeometry(sourceImage, resultImage) && !resultImage.copyFrom(sourceImage).ok()) {
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

    DocumentRunObserver observer(*this);
    const pipeline::RunResult result = pipeline::processRegion(
        run, processing.workBuffer, processing.preNrBuffer, observer, &processing.engineWorkspace);
    if (!detailOnly) processing.engineWorkspace.release();
    observer.runEnding();
    if (result.outcome == pipeline::ProcessOutcome::Done) processing.resultValid = 1;

    processing.statusProgress.reset();
    m_host.updateAllViews();
    return result.outcome;
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
