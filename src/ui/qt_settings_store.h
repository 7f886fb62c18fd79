// The program's settings in QSettings: one group per section, value names as stored.
#pragma once

#include "document/settings.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QSettings;

namespace velanox::ui {

class QtSettingsStore : public velanox::document::Settings {
public:
    /// The user's store of organisation "Orvantel", application "Velanox NR".
    QtSettingsStore();
    /// A given store (tests hand in an IniFormat file); not owned.
    explicit QtSettingsStore(QSettings& settings);
    ~QtSettingsStore() override;

    std::optional<int32_t> storedInt(std::string_view section,
                                     std::string_view name) const override;
    std::optional<std::string> storedString(std::string_view section,
                                            std::string_view name) const override;
    void storeInt(std::string_view section, std::string_view name, int32_t value) override;
    void storeString(std::string_view section, std::string_view name,
                     std::string_view value) override;
    void flush() override;

    /// The toolkit's own states ("CommandBars", "NormalLayout"), kept beside the sections.
    QByteArray layoutState(const QString& name) const;
    void storeLayoutState(const QString& name, const QByteArray& state);

private:
    std::unique_ptr<QSettings> m_owned;
    QSettings& m_settings;
};

} // namespace velanox::ui
