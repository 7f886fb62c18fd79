// The "Memory Settings" dialog: the largest block processed at once and the image size from
// which work buffers move to memory mappings. Any integer is accepted; values below 64 are
// raised to 64, which a note of its own says.
#pragma once

#include "document/settings.h"

#include <QDialog>

class QLineEdit;

namespace velanox::ui {

class MemorySettingsDialog : public QDialog {
    Q_OBJECT
public:
    MemorySettingsDialog(const velanox::document::MemorySettingsValues& values,
                         QWidget* parent = nullptr);

    /// The values confirmed with OK, raised to the smallest usable size.
    velanox::document::MemorySettingsValues values() const { return m_values; }

    void accept() override;

private:
    QLineEdit* m_fields[4];
    velanox::document::MemorySettingsValues m_values;
};

} // namespace velanox::ui
