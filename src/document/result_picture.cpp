// The document's pictures as a whole: emptying the document, and the result picture made the
// source again after detail runs.
#include "document/csotavo_doc.h"

#include <algorithm>
#include <cstring>

namespace velanox::document {

namespace {

core::Rect unite(const core::Rect& a, const core::Rect& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    return core::Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                      std::max(a.bottom, b.bottom)};
}

} // namespace

core::Status CSotavoDoc::newDocument() {
    if (!mayReplaceImages())
        return core::Status::failure(core::StatusCode::NoReader, "Not possible now.");
    crop.cropMode = false;
    crop.cropZoom = 1.0;
    crop.cropOffsetX = 0;
    crop.cropOffsetY = 0;
    cropDisplayImage.release();
    sourceImage.release();
    resultImage.release();
    quickPreview.release();
    processing.resultValid = 0;
    processing.processedRegion = {};
    display.displayTab = kTabImage;
    sourceFile = SourceFileState{};
    notify(DocumentChange::SourceReplaced);
    return core::Status::success();
}

void CSotavoDoc::noteResultWritten(const core::Rect& region) {
    processing.processedRegion = unite(processing.processedRegion, region);
}

void CSotavoDoc::discardResult() {
    if (!processing.resultValid || crop.cropMode || !mayReplaceImages()) return;
    codec::Picture& result = resultImage;
    const codec::Picture& source = sourceImage;
    // Every detail run writes its rectangle only: the result differs from the source inside
    // the union of them (or the whole, after a save). Only those rows are copied back, so a press
    // or a scroll on a large picture answers at once.
    const core::Rect r = core::clipToImage(unite(processing.processedRegion, display.detailRect),
                                           source.width, source.height);
    if (result.width == source.width && result.height == source.height &&
        result.bitsPerPixel == source.bitsPerPixel && source.bitsPerPixel % 8 == 0 &&
        source.hasPixels() && result.hasPixels()) {
        const std::size_t stride = source.rowBytes();
        const std::size_t pixel = std::size_t(source.bitsPerPixel / 8);
        for (int y = r.top; y < r.bottom; ++y)
            std::memcpy(result.pixels() + std::size_t(y) * stride + std::size_t(r.left) * pixel,
                        source.pixels() + std::size_t(y) * stride + std::size_t(r.left) * pixel,
                        std::size_t(r.width()) * pixel);
    } else {
        result.copyFrom(source);
    }
    processing.processedRegion = {};
    processing.resultValid = 0;
    notify(DocumentChange::ResultDiscarded);
}

} // namespace velanox::document
