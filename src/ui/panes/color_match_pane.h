// ColorMatchPane: colour matching off, to a reference image or to a stored
// profile; the reference chooser and its thumbnail; the profile list with save and delete; the
// "Fade" slider; "Auto Switch to  Full Mode". The reference and the profile last read belong to
// the application (ColorMatchState, handed in with setColorMatchState); the tables and the
// fade belong to the document.
#pragma once

#include "ui/debouncer.h"
#include "ui/panes.h"
#include "ui/panes/pane_links.h"

#include <QImage>

#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace velanox::color {
class ColorMatchState;
}
namespace velanox::document {
class Settings;
}

namespace velanox::ui {

class ProfileList;
class SkinnedSlider;

/// The preview control: black, with the reference or profile thumbnail centred; files
/// dropped on it are passed to the pane.
class ReferencePreview : public QWidget {
    Q_OBJECT
public:
    explicit ReferencePreview(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }

signals:
    void fileDropped(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QImage m_image;
};

class ColorMatchPane : public PaneContent {
    Q_OBJECT
public:
    /// Asks for a file to match to, starting in a folder; empty when cancelled.
    using FileChooser = std::function<QString(const QString& startFolder)>;
    /// Asks for a profile name with a preset; nothing when cancelled.
    using NameAsker = std::function<std::optional<QString>(const QString& preset)>;

    explicit ColorMatchPane(QWidget* parent = nullptr);
    ~ColorMatchPane() override;

    void attachDocument(velanox::document::CSotavoDoc* document) override;
    void setLinks(const PaneLinks& links) { m_links = links; }
    /// The application's reference and profile (not owned). Until one is given the pane keeps
    /// its own.
    void setColorMatchState(velanox::color::ColorMatchState* state);
    /// The store "MatchPath" (section "Document") is read from and written to; none: not kept.
    void setSettings(velanox::document::Settings* settings) { m_settings = settings; }
    /// Profiles are written to programFolder when it is writable, else to userFolder, and
    /// listed from both. The list is read again.
    void setProfileFolders(const QString& programFolder, const QString& userFolder);
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setNameAsker(NameAsker asker) { m_askName = std::move(asker); }

    /// Mode 0, 1 or 2 as the radio group shows it.
    int mode() const;
    bool autoSwitchToFull() const;
    ProfileList* profileList() const { return m_profiles; }
    /// The folder a new profile is written to.
    QString profileSaveFolder() const;

    // The handlers, as the controls call them.
    void chooseNoMatch();
    void chooseMatchToImage();
    void chooseMatchToProfile();
    /// "Load Reference Image"; an empty path asks with the file dialog.
    void loadReference(const QString& path = QString());
    /// A file dropped on the preview: only the six image suffixes are taken.
    void dropReference(const QString& path);
    void saveToProfile();
    void deleteProfile();
    void fadeMoved(int position, bool endOfDrag);
    void autoSwitchClicked(bool ticked);
    /// Lists the profiles of both folders and reads the first one.
    void refreshProfileList();
    /// Moves the controls to the document's mode and fade.
    void refresh();

    /// The timer-1 delay of a Fade move: 50 ms at the end of a drag, else 100 ms on the image
    /// tabs and 30 ms on the Curves and Histogram tabs.
    static int fadeDelay(bool endOfDrag, int displayTab);
    static constexpr int kModeDelay = 50;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    velanox::color::ColorMatchState& state() const { return *m_state; }
    void startTimer1(int delayMs) { m_timer1.schedule(delayMs); }
    void timerFired();
    void setMode(int mode);
    void updateVisibility();
    void showReferenceName();
    bool confirm(const QString& question);

    PaneLinks m_links;
    std::unique_ptr<velanox::color::ColorMatchState> m_ownState;
    velanox::color::ColorMatchState* m_state = nullptr;
    velanox::document::Settings* m_settings = nullptr;
    QString m_programFolder;
    QString m_userFolder;
    FileChooser m_chooseFile;
    NameAsker m_askName;

    QButtonGroup* m_modes = nullptr;
    QLineEdit* m_referenceName = nullptr;
    QToolButton* m_loadButton = nullptr;
    QToolButton* m_saveButton = nullptr;
    QToolButton* m_deleteButton = nullptr;
    ProfileList* m_profiles = nullptr;
    ReferencePreview* m_preview = nullptr;
    SkinnedSlider* m_fade = nullptr;
    QCheckBox* m_autoSwitch = nullptr;
    Debouncer m_timer1;
};

/// The "Profile Name" dialog: one edit with OK and Cancel.
std::optional<QString> askProfileName(QWidget* parent, const QString& preset);

} // namespace velanox::ui
