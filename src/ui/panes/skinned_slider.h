// A horizontal slider drawn with a thumb image of its own over a thin sunken groove, and able to
// tell the end of a drag from the moves during it.
#pragma once

#include <QPixmap>
#include <QSlider>

namespace velanox::ui {

class SkinnedSlider : public QSlider {
    Q_OBJECT
public:
    SkinnedSlider(int controlId, int minimum, int maximum, QWidget* parent = nullptr);

    void setThumb(const QPixmap& thumb);
    /// Sets the position without announcing a move (refreshes from the document).
    void setPositionQuietly(int position);

signals:
    /// The person moved the thumb: endOfDrag is true for the release of a drag and for every
    /// move that is not a drag (a click on the groove, a key), false while dragging.
    void moved(int position, bool endOfDrag);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_thumb;
    bool m_quiet = false;
};

} // namespace velanox::ui
