#include "ui/application.h"

#include "ui/display_colors.h"
#include "ui/file_dialogs.h"
#include "ui/main_frame.h"
#include "ui/qt_settings_store.h"
#include "ui/ui_strings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace velanox::ui {

Application::Application() : m_settings(std::make_unique<QtSettingsStore>()) {}

Application::Application(QSettings& settings)
    : m_settings(std::make_unique<QtSettingsStore>(settings)) {}

Application::~Application() {
    if (m_frame) setFileDialogSettings(nullptr);
}

void Application::nameApplication() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(text::kOrganisationName));
    QCoreApplication::setApplicationName(QString::fromLatin1(text::kApplicationName));
}

bool Application::startUp(const QStringList& arguments, bool show) {
    m_useFixedSaveFolder = m_settings->readInt(velanox::document::SettingId::SaveType);
    m_fixedSaveFolder =
        QString::fromStdString(m_settings->readString(velanox::document::SettingId::SavePath));

    // Pictures are drawn in the screen's colours when it has a profile, else as sRGB.
    DisplayColors::instance().readFromScreen();
    m_frame = std::make_unique<CMainFrame>(*m_settings);
    // The Open and Save dialogs remember their size in the same settings.
    setFileDialogSettings(m_settings.get());

    // The first argument that is not an option names a file to open at start.
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i].startsWith(QLatin1String("--"))) continue;
        m_pendingOpenPath = QFileInfo(arguments[i]).absoluteFilePath();
        break;
    }

    if (show) m_frame->showAtSavedPlacement();
    return true;
}

void Application::programEnd() {
    m_settings->writeInt(velanox::document::SettingId::SaveType, m_useFixedSaveFolder);
    m_settings->writeString(velanox::document::SettingId::SavePath,
                            m_fixedSaveFolder.toStdString());
    if (m_frame) m_frame->recentFiles().save(*m_settings);
    m_settings->flush();
}

} // namespace velanox::ui
