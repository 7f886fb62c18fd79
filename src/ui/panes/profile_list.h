// ProfileList: the Color Match pane's list of colour profiles (list 1012). Each entry holds a
// profile's full path; it is drawn with the profile's name (the file name without ".cpf") and,
// in the opened list, a half-size thumbnail read from the file. The entries stay sorted by their
// full path compared without regard to case.
#pragma once

#include <QComboBox>
#include <QImage>
#include <QString>

#include <deque>
#include <utility>

namespace velanox::ui {

/// Half-size thumbnails of profile files, newest first, at most kCapacity of them. A lookup
/// compares the full path exactly; a miss reads the file and puts the result in front.
class ProfileThumbnailCache {
public:
    static constexpr std::size_t kCapacity = 20;

    /// The thumbnail of the profile at path scaled to half its size; a null image when the file
    /// cannot be read (the failure is cached too, until the entry falls out).
    QImage thumbnail(const QString& path);
    /// The cached paths, newest first.
    std::deque<QString> paths() const;
    void clear() { m_entries.clear(); }

private:
    std::deque<std::pair<QString, QImage>> m_entries;
};

/// A profile's name as the list shows it: the text after the last separator with its last
/// four characters (".cpf") removed.
QString profileDisplayName(const QString& path);

class ProfileList : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kEntryHeight = 55;
    static constexpr int kFaceHeight = 30; // the closed face: one centred line

    explicit ProfileList(int controlId, QWidget* parent = nullptr);

    /// Puts path at its sorted place (case ignored) and returns its index; an entry already
    /// there for the same path is not added again.
    int addProfile(const QString& path);
    QString path(int index) const { return itemText(index); }
    QStringList paths() const;

    ProfileThumbnailCache& thumbnails() { return m_thumbnails; }

    /// Draws one entry into rect (the opened list's entries and the closed face alike).
    void drawEntry(QPainter& painter, const QRect& rect, int index, bool selected, bool enabled);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ProfileThumbnailCache m_thumbnails;
};

} // namespace velanox::ui
