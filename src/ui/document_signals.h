// DocumentSignals: the document's changes as Qt signals, one signal per kind of change. Whoever
// shows the document (the view, the main frame, the panes) keeps one and connects what it
// redraws to the signals it cares about.
#pragma once

#include "document/document_observer.h"

#include <QObject>

namespace velanox::document {
class CSotavoDoc;
}

namespace velanox::ui {

class DocumentSignals : public QObject, public velanox::document::DocumentObserver {
    Q_OBJECT
public:
    /// Listens to document until destroyed; the document must outlive it.
    explicit DocumentSignals(velanox::document::CSotavoDoc& document, QObject* parent = nullptr);
    ~DocumentSignals() override;

    velanox::document::CSotavoDoc& document() const { return m_document; }

    void documentChanged(velanox::document::DocumentChange change) override;

signals:
    void sourceReplaced();
    void resultReady();
    void resultDiscarded();
    void previewReady();
    void histogramReady();
    void colorSettingsChanged();
    void outputWindowChanged();
    void cropWindowChanged();
    void visibleRectChanged();
    void cropModeEntered();
    void cropModeLeft();
    void displayTabChanged();
    void runStarted();
    void runEnded();

private:
    velanox::document::CSotavoDoc& m_document;
};

} // namespace velanox::ui
