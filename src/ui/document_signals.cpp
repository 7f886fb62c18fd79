#include "ui/document_signals.h"

#include "document/csotavo_doc.h"

namespace velanox::ui {

using velanox::document::DocumentChange;

DocumentSignals::DocumentSignals(velanox::document::CSotavoDoc& document, QObject* parent)
    : QObject(parent), m_document(document) {
    m_document.addObserver(*this);
}

DocumentSignals::~DocumentSignals() {
    m_document.removeObserver(*this);
}

void DocumentSignals::documentChanged(DocumentChange change) {
    switch (change) {
    case DocumentChange::SourceReplaced:
        emit sourceReplaced();
        break;
    case DocumentChange::ResultReady:
        emit resultReady();
        break;
    case DocumentChange::ResultDiscarded:
        emit resultDiscarded();
        break;
    case DocumentChange::PreviewReady:
        emit previewReady();
        break;
    case DocumentChange::HistogramReady:
        emit histogramReady();
        break;
    case DocumentChange::ColorSettingsChanged:
        emit colorSettingsChanged();
        break;
    case DocumentChange::OutputWindowChanged:
        emit outputWindowChanged();
        break;
    case DocumentChange::CropWindowChanged:
        emit cropWindowChanged();
        break;
    case DocumentChange::VisibleRectChanged:
        emit visibleRectChanged();
        break;
    case DocumentChange::CropModeEntered:
        emit cropModeEntered();
        break;
    case DocumentChange::CropModeLeft:
        emit cropModeLeft();
        break;
    case DocumentChange::DisplayTabChanged:
        emit displayTabChanged();
        break;
    case DocumentChange::RunStarted:
        emit runStarted();
        break;
    case DocumentChange::RunEnded:
        emit runEnded();
        break;
    }
}

} // namespace velanox::ui
