// The "About Velanox NR" dialog: the maker's notice and the version line.
#pragma once

#include <QDialog>

namespace velanox::ui {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace velanox::ui
