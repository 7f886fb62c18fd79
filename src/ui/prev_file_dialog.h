// CPrevFileDlg: the Open dialog with a preview beside the file list. Qt's own (non-native) file
// dialog with an added panel: the "&Preview" check box (one setting for the whole run of the
// program), the preview of the selected file on grey, its full size in pixels, and "Recent".
#pragma once

#include "codec/picture.h"

#include <QFileDialog>
#include <QImage>

class QCheckBox;
class QLabel;
class QPushButton;

namespace velanox::ui {

/// The preview control: grey 0x808080 inside a one-pixel border, the image centred.
class FilePreview : public QWidget {
    Q_OBJECT
public:
    explicit FilePreview(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }
    /// The area the image is fitted into: the client area less one pixel on each side.
    QSize previewArea() const { return size() - QSize(2, 2); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

class CPrevFileDlg : public QFileDialog {
    Q_OBJECT
public:
    /// filter: the Windows-style filter ("Text|*.a;*.b|...||"); the texts are shown as written.
    CPrevFileDlg(QWidget* parent, const QString& title, const QString& filter,
                 const QString& startFolder);

    /// Preview on or off for the rest of the run (initially on).
    static bool previewEnabled();
    static void setPreviewEnabled(bool on);

    /// Files offered by the "Recent" button; choosing one selects it in the dialog.
    void setRecentFiles(const QStringList& paths);

    /// Shows the preview of path (when the preview is on), or clears it.
    void showPreviewOf(const QString& path);
    void clearPreview();
    FilePreview* preview() const { return m_preview; }
    QString sizeText() const;

    /// Reads path with a preview limit of maxSize (JPEG files decode reduced) and scales the
    /// result to fit maxSize; fullSize receives the picture's full size. A null image when the
    /// file cannot be read.
    static QImage loadPreview(const QString& path, const QSize& maxSize, QSize* fullSize);

private:
    void previewToggled(bool on);

    QCheckBox* m_previewCheck = nullptr;
    FilePreview* m_preview = nullptr;
    QLabel* m_size = nullptr;
    QPushButton* m_recent = nullptr;
    QStringList m_recentFiles;
    QString m_current;
};

} // namespace velanox::ui
