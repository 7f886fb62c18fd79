// The application object: names the program and its settings store, reads the save-folder
// settings, makes the main frame, remembers a file named on the command line, and writes the
// save-folder settings and the recent-file list at program end.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class QSettings;

namespace velanox::ui {

class CMainFrame;
class QtSettingsStore;

class Application {
public:
    /// The user's settings store.
    Application();
    /// A given QSettings (tests hand in a temporary IniFormat file); not owned.
    explicit Application(QSettings& settings);
    ~Application();

    /// Names the application and organisation on the running QApplication.
    static void nameApplication();

    /// Start-up: reads "SaveType" and "SavePath", creates the frame, takes the first argument
    /// after the program name as the file to open, and shows the frame (unless show is false).
    /// True to run.
    bool startUp(const QStringList& arguments, bool show = true);
    /// Program end: writes "SaveType", "SavePath" and the recent-file list.
    void programEnd();

    CMainFrame* frame() const { return m_frame.get(); }
    QtSettingsStore& settings() const { return *m_settings; }

    /// The file named on the command line, to be opened once the document is wired; empty
    /// when none was given.
    QString pendingOpenPath() const { return m_pendingOpenPath; }

    int useFixedSaveFolder() const { return m_useFixedSaveFolder; }
    void setUseFixedSaveFolder(int value) { m_useFixedSaveFolder = value; }
    QString fixedSaveFolder() const { return m_fixedSaveFolder; }
    void setFixedSaveFolder(const QString& folder) { m_fixedSaveFolder = folder; }

private:
    std::unique_ptr<QtSettingsStore> m_settings;
    std::unique_ptr<CMainFrame> m_frame;
    QString m_pendingOpenPath;
    int m_useFixedSaveFolder = 0;
    QString m_fixedSaveFolder;
};

} // namespace velanox::ui
