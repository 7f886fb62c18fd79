#include "ui/qt_settings_store.h"

#include "ui/ui_strings.h"

#include <QSettings>

namespace velanox::ui {

namespace {
QString key(std::string_view section, std::string_view name) {
    return QString::fromUtf8(section.data(), qsizetype(section.size())) + QLatin1Char('/') +
           QString::fromUtf8(name.data(), qsizetype(name.size()));
}
} // namespace

QtSettingsStore::QtSettingsStore()
    : m_owned(std::make_unique<QSettings>(QString::fromLatin1(text::kOrganisationName),
                                          QString::fromLatin1(text::kApplicationName))),
      m_settings(*m_owned) {}

QtSettingsStore::QtSettingsStore(QSettings& settings) : m_settings(settings) {}

QtSettingsStore::~QtSettingsStore() = default;

std::optional<int32_t> QtSettingsStore::storedInt(std::string_view section,
                                                  std::string_view name) const {
    const QVariant value = m_settings.value(key(section, name));
    if (!value.isValid()) return std::nullopt;
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok) return std::nullopt;
    return number;
}

std::optional<std::string> QtSettingsStore::storedString(std::string_view section,
                                                         std::string_view name) const {
    const QVariant value = m_settings.value(key(section, name));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
}

void QtSettingsStore::storeInt(std::string_view section, std::string_view name, int32_t value) {
    m_settings.setValue(key(section, name), int(value));
}

void QtSettingsStore::storeString(std::string_view section, std::string_view name,
                                  std::string_view value) {
    m_settings.setValue(key(section, name),
                        QString::fromUtf8(value.data(), qsizetype(value.size())));
}

void QtSettingsStore::flush() {
    m_settings.sync();
}

QByteArray QtSettingsStore::layoutState(const QString& name) const {
    return m_settings.value(name).toByteArray();
}

void QtSettingsStore::storeLayoutState(const QString& name, const QByteArray& state) {
    m_settings.setValue(name, state);
}

} // namespace velanox::ui
