// DocumentController: the desktop program's document and what joins it to the main frame. It
// owns the one CSotavoDoc (with its stored settings), the Qt host, the view and the mode
// target, hands the document to the panes and carries out the commands the frame passes on:
// Open, Reload, Save, Save As, Paste, Copy, drop, recent files, folder stepping, rotation,
// Apply Crop, zoom and the grid.
#pragma once

#include "ui/load_wait.h"
#include "ui/mode_commands.h"

#include <QObject>
#include <QString>

#include <memory>

class QAction;

namespace velanox::document {
class CSotavoDoc;
}
namespace velanox::color {
class ColorMatchState;
}

namespace velanox::ui {

class Application;
class CMainFrame;
class CSotavoView;
class PaneContent;
class QtHost;

class DocumentController : public QObject {
    Q_OBJECT
public:
    /// Wires a started application: the document from the stored settings, the view, the pane
    /// contents, the mode target and the commands.
    explicit DocumentController(Application& app);
    ~DocumentController() override;

    velanox::document::CSotavoDoc& document() const { return *m_doc; }
    CSotavoView* view() const { return m_view; }
    QtHost& host() const { return *m_host; }

    /// Opens a file as the Open command does after its dialog; a failure shows "Cannot open".
    bool openPath(const QString& path);
    /// A recent-file entry chosen under File: openPath, and an entry whose file cannot be read
    /// leaves the list.
    void openRecentFile(const QString& path);
    /// The Open command: the "Load image file" dialog, then openPath.
    void openWithDialog();
    /// Save and Save As: the "Save image" dialog, the JPEG Options for a ".jpg" name, then the
    /// save. True when a file was written.
    bool saveWithDialog();
    /// New (Ctrl+N): an empty document, titled "Untitled"; the settings keep their values.
    void newDocument();
    /// Reload Current File.
    void reload();
    /// Paste: a picture on the clipboard becomes the source.
    void paste();
    /// A file dropped on the view.
    void dropFile(const QString& path);
    /// Carries out a command the frame passes on.
    void handleCommand(int id);
    /// Enabled and checked states of the document's commands.
    void updateCommand(int id, QAction* action);

    /// The pane content for a pane id (the NR Options pane, the others when present).
    PaneContent* makePane(int paneId, QWidget* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class DocModeTarget;
    void pictureArrived(int delayMs);
    /// The wait around a load of path (empty: not known yet), shown in the frame's status bar.
    LoadWait loadWait(const QString& path);
    void updateTitle();
    int tabForState() const;

    Application& m_app;
    CMainFrame* m_frame;
    std::unique_ptr<QtHost> m_host;
    std::unique_ptr<velanox::document::CSotavoDoc> m_doc;
    std::unique_ptr<DocModeTarget> m_modeTarget;
    std::unique_ptr<velanox::color::ColorMatchState>
        m_colorMatch; ///< the reference and profile data
    CSotavoView* m_view = nullptr;
};

} // namespace velanox::ui
