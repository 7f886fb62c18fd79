// The File Properties pane: a thumbnail of the source with a frame on the part
// the view shows (Detail mode) or on the crop window (Full/Crop mode), dragged to navigate; the
// file information; the Output Window choice; the default output folder; the crop options.
#pragma once

#include "ui/panes.h"
#include "ui/panes/pane_links.h"

#include <QImage>
#include <QRect>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace velanox::ui {

class SkinnedSlider;

/// An owner-painted section header: a band filled 0xFFA0A0 while active and 0xE0C0C0 while
/// inactive, its caption centred in white bold 10-pixel Arial.
class SectionHeader : public QWidget {
    Q_OBJECT
public:
    SectionHeader(int controlId, const QString& caption, QWidget* parent = nullptr);
    void setActive(bool active);
    bool isActive() const { return m_active; }
    QSize sizeHint() const override { return {120, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
    bool m_active = true;
};

/// The thumbnail control: black, the thumbnail centred, the frame as two nested one-pixel
/// red outlines clipped to the thumbnail. Presses, moves and releases go to the pane.
class ThumbnailView : public QWidget {
    Q_OBJECT
public:
    explicit ThumbnailView(QWidget* parent = nullptr);
    void setThumbnail(const QImage& image);
    const QImage& thumbnail() const { return m_thumbnail; }
    /// The frame in thumbnail pixels (left, top, right, bottom as the rectangle's edges).
    void setFrame(const QRect& frame);
    QRect frame() const { return m_frame; }
    /// Where the thumbnail is drawn: centred, integer offsets.
    QPoint thumbnailOffset() const;

signals:
    void pressed(QPoint at);
    void moved(QPoint at);
    void released();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_thumbnail;
    QRect m_frame;
};

class FilePropertiesPane : public PaneContent {
    Q_OBJECT
public:
    /// Asks for a folder, starting in one; empty when cancelled.
    using FolderChooser = std::function<QString(const QString& startFolder)>;

    explicit FilePropertiesPane(QWidget* parent = nullptr);

    void attachDocument(velanox::document::CSotavoDoc* document) override;
    void refreshCropInfo() override;
    void setLinks(const PaneLinks& links) { m_links = links; }
    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }

    /// The application's save-folder choice ("SaveType", "SavePath"), shown without announcing.
    void setSaveFolder(int useFixedSaveFolder, const QString& fixedSaveFolder);
    int useFixedSaveFolder() const { return m_useFixed; }
    QString fixedSaveFolder() const;

    /// Saving sets the Output Window back to its first entry through the list.
    void resetOutputWindow();

    /// The thumbnail, the crop options' values and, outside Full/Crop mode, the file information.
    void refresh();
    QString fileInfoText() const;
    ThumbnailView* thumbnailView() const { return m_thumbnail; }

    /// The thumbnail size for a picture of width x height in a control of cw x ch pixels.
    static QSize thumbnailSize(int width, int height, int cw, int ch);

    // The handlers, as the controls call them.
    void chooseOutputWindow(int index);
    void chooseRecentlyUsed();
    void chooseFixedFolder();
    void browseFolder();
    void chooseAspect(int index);
    void enlargeMoved(int position);
    void swapClicked(bool ticked);
    void applyCrop();
    void returnFromCrop();

signals:
    /// The folder choice changed (the application keeps it as "SaveType" and "SavePath").
    void saveFolderChanged(int useFixedSaveFolder, const QString& fixedSaveFolder);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void thumbnailPressed(QPoint at);
    void thumbnailMoved(QPoint at);
    void thumbnailReleased();
    void updateEnabling();
    QRect scaledFrame(int x0, int y0, int x1, int y1) const;

    PaneLinks m_links;
    FolderChooser m_chooseFolder;
    ThumbnailView* m_thumbnail = nullptr;
    SectionHeader* m_fileInfoHeader = nullptr;
    QPlainTextEdit* m_fileInfo = nullptr;
    SectionHeader* m_outputHeader = nullptr;
    QComboBox* m_outputWindow = nullptr;
    SectionHeader* m_folderHeader = nullptr;
    QButtonGroup* m_folderChoice = nullptr;
    QLineEdit* m_folderPath = nullptr;
    QPushButton* m_browse = nullptr;
    SectionHeader* m_cropHeader = nullptr;
    QComboBox* m_aspect = nullptr;
    SkinnedSlider* m_enlarge = nullptr;
    QLabel* m_enlargeLabel = nullptr;
    QCheckBox* m_swap = nullptr;
    QToolButton* m_return = nullptr;
    QToolButton* m_apply = nullptr;
    int m_useFixed = 0;
    bool m_dragging = false;
    /// The Enlarge slider is being moved: its position is not written back from the zoom.
    bool m_enlargeMoving = false;
    QPoint m_grab;
};

} // namespace velanox::ui
