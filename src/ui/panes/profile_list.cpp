#include "ui/panes/profile_list.h"

#include "codec/picture.h"
#include "color/color_profile.h"
#include "ui/display_colors.h"
#include "ui/panes/pane_bitmaps.h"
#include "ui/resource_ids.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>

#include <cstring>

namespace velanox::ui {

namespace {

QImage halfSizeThumbnail(const QString& path) {
    color::ColorProfile profile;
    if (!color::readProfileFile(path.toStdString(), profile).ok()) return {};
    const int w = profile.thumbnailWidth, h = profile.thumbnailHeight;
    if (w / 2 <= 0 || h / 2 <= 0) return {};
    codec::Picture picture;
    if (!picture.allocate(w, h, 24).ok()) return {};
    std::memcpy(picture.pixels(), profile.thumbnail.data(), profile.thumbnail.size());
    if (!picture.resample(w / 2, h / 2).ok()) return {};
    // Profile thumbnails are sRGB.
    return DisplayColors::instance().toDisplay(QImage(picture.pixels(), picture.width,
                                                      picture.height, picture.width * 3,
                                                      QImage::Format_RGB888)
                                                   .copy(),
                                               {});
}

class ProfileDelegate : public QStyledItemDelegate {
public:
    explicit ProfileDelegate(ProfileList* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), ProfileList::kEntryHeight);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        m_list->drawEntry(*painter, option.rect, index.row(),
                          option.state.testFlag(QStyle::State_Selected), m_list->isEnabled());
    }

private:
    ProfileList* m_list;
};

} // namespace

QImage ProfileThumbnailCache::thumbnail(const QString& path) {
    for (const auto& [cachedPath, image] : m_entries)
        if (cachedPath == path) return image;
    QImage image = halfSizeThumbnail(path);
    m_entries.emplace_front(path, image);
    if (m_entries.size() > kCapacity) m_entries.pop_back();
    return image;
}

std::deque<QString> ProfileThumbnailCache::paths() const {
    std::deque<QString> out;
    for (const auto& entry : m_entries)
        out.push_back(entry.first);
    return out;
}

QString profileDisplayName(const QString& path) {
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QString name = path.mid(slash + 1);
    return name.left(std::max<qsizetype>(0, name.size() - 4));
}

ProfileList::ProfileList(int controlId, QWidget* parent) : QComboBox(parent) {
    setObjectName(objectNameFor("control", controlId));
    setItemDelegate(new ProfileDelegate(this));
    setMinimumHeight(kFaceHeight);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
}

int ProfileList::addProfile(const QString& path) {
    int at = 0;
    while (at < count()) {
        const int order = QString::compare(itemText(at), path, Qt::CaseInsensitive);
        if (itemText(at) == path) return at;
        if (order > 0) break;
        ++at;
    }
    insertItem(at, path);
    return at;
}

QStringList ProfileList::paths() const {
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemText(i);
    return out;
}

void ProfileList::drawEntry(QPainter& painter, const QRect& rect, int index, bool selected,
                            bool enabled) {
    painter.save();
    QColor text = Qt::black;
    if (!enabled) {
        painter.fillRect(rect, palette().color(QPalette::Button));
        text = colorFromBgr(0x808080);
    } else {
        painter.fillRect(rect, selected ? colorFromBgr(0xFFC0C0) : QColor(Qt::white));
    }
    painter.setPen(text);
    const QString name = index >= 0 ? profileDisplayName(itemText(index)) : QString();
    QRect textRect = rect.adjusted(3, 0, 0, 0);
    if (rect.height() < 36) {
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, name);
    } else {
        textRect.setTop(textRect.top() + 2);
        const QImage thumb = index >= 0 ? m_thumbnails.thumbnail(itemText(index)) : QImage();
        int nameLeft = textRect.left() + 4;
        if (!thumb.isNull()) {
            painter.drawImage(textRect.topLeft(), thumb);
            nameLeft = textRect.left() + thumb.width() + 4;
        }
        painter.drawText(
            QRect(nameLeft, textRect.top(), textRect.right() - nameLeft, textRect.height()),
            Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap, name);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
    }
    painter.restore();
}

void ProfileList::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect face =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    drawEntry(painter, face, currentIndex(), hasFocus(), isEnabled());
}

} // namespace velanox::ui
