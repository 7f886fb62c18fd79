// File-dialog filters written the Windows way ("Text|*.a;*.b|Text|*.c||") turned into Qt's name
// filters. Each entry becomes "Text (*.a *.b)"; with QFileDialog::HideNameFilterDetails the
// dialog shows the text exactly as written and still matches the patterns.
#pragma once

#include <QString>
#include <QStringList>

namespace velanox::ui {

QStringList qtNameFilters(const QString& windowsFilter);

/// The patterns of one Qt name filter ("Text (*.a *.b)" gives "*.a", "*.b").
QStringList patternsOfNameFilter(const QString& nameFilter);

} // namespace velanox::ui
