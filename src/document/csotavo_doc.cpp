#include "document/csotavo_doc.h"

#include "color/histogram.h"
#include "color/quick_colour_preview.h"

#include <algorithm>

namespace velanox::document {

namespace {

bool hasColorSource(const codec::Picture& source) {
    return source.hasPixels() && source.bitsPerPixel == 24;
}

core::ConstImageView viewOf(const codec::Picture& source) {
    return core::ConstImageView(source.pixels(), source.width, source.height, 3,
                                std::ptrdiff_t(source.rowBytes()));
}

} // namespace

CSotavoDoc::CSotavoDoc(Host& host, const DocumentSettings& settings)
    : m_host(host), m_storeCropAspect(settings.storeCropAspect) {
    jpeg.jpegQualitySetting = settings.JPGq;
    jpeg.enhancedSamplingSetting = settings.JPGES;
    crop.cropAspect = settings.CropAspect;
    memory = settings.memory;
}

CSotavoDoc::~CSotavoDoc() {
    if (m_storeCropAspect) m_storeCropAspect(crop.cropAspect);
}

void CSotavoDoc::setDisplayTab(int32_t tab) {
    if (display.displayTab == tab) return;
    display.displayTab = tab;
    notify(DocumentChange::DisplayTabChanged);
}

void CSotavoDoc::setOutputWindowMode(int32_t mode) {
    if (display.outputWindowMode == mode) return;
    display.outputWindowMode = mode;
    notify(DocumentChange::OutputWindowChanged);
}

void CSotavoDoc::computeHistogram() {
    if (!hasColorSource(sourceImage)) return;
    color::computeHistogram(viewOf(sourceImage), color, display.histogramBars);
    notify(DocumentChange::HistogramReady);
}

void CSotavoDoc::makeQuickPreview() {
    if (processing.calculating || !hasColorSource(sourceImage)) return;
    color::quickColourPreview(viewOf(sourceImage), display.detailRect, color, quickPreview);
    notify(DocumentChange::PreviewReady);
}

void CSotavoDoc::addObserver(DocumentObserver& observer) {
    if (std::find(m_observers.begin(), m_observers.end(), &observer) == m_observers.end())
        m_observers.push_back(&observer);
}

void CSotavoDoc::removeObserver(DocumentObserver& observer) {
    const auto it = std::find(m_observers.begin(), m_observers.end(), &observer);
    if (it == m_observers.end()) return;
    if (m_notifyDepth > 0)
        *it = nullptr; // the notification in progress walks the list; it is tidied afterwards
    else
        m_observers.erase(it);
}

void CSotavoDoc::notify(DocumentChange change) {
    ++m_notifyDepth;
    // Observers added during the notification hear the next change, not this one.
    const std::size_t count = m_observers.size();
    for (std::size_t i = 0; i < count; ++i)
        if (DocumentObserver* observer = m_observers[i]) observer->documentChanged(change);
    if (--m_notifyDepth == 0) std::erase(m_observers, nullptr);
}

} // namespace velanox::document
