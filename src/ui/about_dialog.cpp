#include "ui/about_dialog.h"

#include "ui/program_files.h"
#include "ui/resource_ids.h"
#include "ui/ui_strings.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace velanox::ui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(objectNameFor("dialog", ids::kAboutDialog));
    setWindowTitle(QString::fromLatin1(text::kAboutTitle));

    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(48, 48));
    auto* version = new QLabel(QString::fromLatin1(text::kVersionLine), this);
    version->setObjectName(objectNameFor("control", ids::kAboutVersion));
    auto* notice = new QLabel(QString::fromLatin1(text::kMakersNotice), this);
    notice->setObjectName(objectNameFor("control", ids::kAboutNotice));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(objectNameFor("control", ids::kIdOk));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace velanox::ui
