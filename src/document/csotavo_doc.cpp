#include "document/csotavo_doc.h"

#include <algorithm>
#include <cstring>

namespace velanox::document {

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

namespace {

// The same values, bit for bit (a gamma of -0.0 is not 0.0 to the tone step).
bool sameTone(const color::ToneValues& a, const color::ToneValues& b) {
    return a.blackPoint == b.blackPoint && a.whitePoint == b.whitePoint &&
           std::memcmp(&a.gamma, &b.gamma, sizeof a.gamma) == 0 &&
           std::memcmp(&a.midtoneBend, &b.midtoneBend, sizeof a.midtoneBend) == 0 &&
           a.colorBoost == b.colorBoost;
}

} // namespace

void CSotavoDoc::setToneValues(const color::ToneValues& tone) {
    if (sameTone(color.tone, tone)) return;
    color.tone = tone;
    notify(DocumentChange::ColorSettingsChanged);
}

void CSotavoDoc::setMatchFade(int32_t fade) {
    if (color.match.matchFade == fade) return;
    color.match.matchFade = fade;
    notify(DocumentChange::ColorSettingsChanged);
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

void CSotavoDoc::setVisibleRect(const core::Rect& rect) {
    if (display.visibleRect == rect) return;
    display.visibleRect = rect;
    notify(DocumentChange::VisibleRectChanged);
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
