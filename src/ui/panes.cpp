#include "ui/panes.h"

#include <QKeyEvent>

#include "ui/document_signals.h"
#include "ui/resource_ids.h"

#include <QLabel>
#include <QVBoxLayout>

namespace velanox::ui {

bool PaneContent::consumeEnterAndEscape(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return true;
    default:
        return false;
    }
}

PaneContent::PaneContent(int paneId, QWidget* parent) : QWidget(parent), m_paneId(paneId) {
    setObjectName(objectNameFor("panecontent", paneId));
}

PaneContent::~PaneContent() = default;

void PaneContent::attachDocument(velanox::document::CSotavoDoc* document) {
    if (document == m_document) return;
    m_signals.reset();
    m_document = document;
    if (!document) return;
    m_signals = std::make_unique<DocumentSignals>(*document);
    connectDocument(*m_signals);
}

PlaceholderPane::PlaceholderPane(int paneId, const QString& description, QWidget* parent)
    : PaneContent(paneId, parent) {
    auto* label = new QLabel(description, this);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    label->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addStretch(1);
}

PaneContent* makePlaceholderPane(int paneId, QWidget* parent) {
    switch (paneId) {
    case ids::kPaneIdNrOptions:
        return new PlaceholderPane(
            paneId, QStringLiteral("Noise reduction strength, mode and sharpening."), parent);
    case ids::kPaneIdFileProperties:
        return new PlaceholderPane(
            paneId, QStringLiteral("Thumbnail, file information, crop options and output folder."),
            parent);
    case ids::kPaneIdColorCorrection:
        return new PlaceholderPane(
            paneId, QStringLiteral("Levels, colour temperature, exposure and colour boost."),
            parent);
    case ids::kPaneIdColorMatch:
        return new PlaceholderPane(
            paneId, QStringLiteral("Match the colours of a reference image or a stored profile."),
            parent);
    default:
        return new PlaceholderPane(paneId, QString(), parent);
    }
}

} // namespace velanox::ui
