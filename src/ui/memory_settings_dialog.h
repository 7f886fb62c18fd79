// The "Memory Settings" dialog: the largest block processed at once, the image size from which
// work buffers move to memory mappings and the memory budget of a whole run (MB, 0: half the
// machine's memory). Any integer is accepted; block and swap values below 64 are raised to 64,
// which a note of its own says, and a negative budget is taken as 0.
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
    static constexpr int kFields = 5; ///< block w, h, swap w, h, budget
    QLineEdit* m_fields[kFields];
    velanox::document::MemorySettingsValues m_values;
};

} // namespace velanox::ui
