// The contents of the four docking panes. A pane is handed the document and never owns it; it
// follows the document's changes through its own DocumentSignals. A pane without contents of its
// own shows a placeholder.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class QKeyEvent;

namespace velanox::document {
class CSotavoDoc;
}

namespace velanox::ui {

class DetailRequests;
class DocumentSignals;

class PaneContent : public QWidget {
    Q_OBJECT
public:
    explicit PaneContent(int paneId, QWidget* parent = nullptr);
    ~PaneContent() override;

    int paneId() const { return m_paneId; }
    /// Hands the document to the pane (null before a document exists and while it closes). A
    /// document not attached before is listened to from now on (connectDocument).
    virtual void attachDocument(velanox::document::CSotavoDoc* document);
    velanox::document::CSotavoDoc* document() const { return m_document; }
    /// The view that processes the detail rectangle and scrolls (null: those requests do
    /// nothing); not owned.
    void setDetailRequests(DetailRequests* requests) { m_detailRequests = requests; }
    DetailRequests* detailRequests() const { return m_detailRequests; }

protected:
    /// A document was attached: the pane connects what it shows to the changes it follows.
    virtual void connectDocument(DocumentSignals& changes) { (void)changes; }

    /// Accepts Enter and Escape so that neither closes or resets anything from inside a pane;
    /// returns whether the key was one of them.
    static bool consumeEnterAndEscape(QKeyEvent* event);

private:
    int m_paneId;
    velanox::document::CSotavoDoc* m_document = nullptr;
    std::unique_ptr<DocumentSignals> m_signals;
    DetailRequests* m_detailRequests = nullptr;
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
