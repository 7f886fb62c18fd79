// The contents of the four docking panes. A pane is handed the document and never owns it.
// A pane without contents of its own shows a placeholder.
#pragma once

#include <QWidget>

#include <functional>

class QKeyEvent;

namespace velanox::document {
class CSotavoDoc;
}

namespace velanox::ui {

class PaneContent : public QWidget {
    Q_OBJECT
public:
    explicit PaneContent(int paneId, QWidget* parent = nullptr);

    int paneId() const { return m_paneId; }
    /// Hands the document to the pane (null before a document exists and while it closes).
    virtual void attachDocument(velanox::document::CSotavoDoc* document) { m_document = document; }
    velanox::document::CSotavoDoc* document() const { return m_document; }
    /// The File Properties pane redraws its thumbnail frame and crop information.
    virtual void refreshCropInfo() {}

protected:
    /// Accepts Enter and Escape so that neither closes or resets anything from inside a pane;
    /// returns whether the key was one of them.
    static bool consumeEnterAndEscape(QKeyEvent* event);

private:
    int m_paneId;
    velanox::document::CSotavoDoc* m_document = nullptr;
};

/// A pane content that says what will appear there.
class PlaceholderPane : public PaneContent {
    Q_OBJECT
public:
    PlaceholderPane(int paneId, const QString& description, QWidget* parent = nullptr);
};

/// Makes the content of a pane when the pane is first shown.
using PaneFactory = std::function<PaneContent*(int paneId, QWidget* parent)>;

/// The placeholder contents.
PaneContent* makePlaceholderPane(int paneId, QWidget* parent);

} // namespace velanox::ui
