#include "ui/memory_settings_dialog.h"

#include "codec/contained_reader.h"
#include "ui/message_box.h"
#include "ui/resource_ids.h"
#include "ui/ui_strings.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velanox::ui {

namespace {

QGroupBox* sizeGroup(const char* title, QLineEdit* width, QLineEdit* height, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromLatin1(title), parent);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Width"), group), 0, 0);
    grid->addWidget(width, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("pixels"), group), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Height"), group), 1, 0);
    grid->addWidget(height, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("pixels"), group), 1, 2);
    return group;
}

QGroupBox* budgetGroup(QLineEdit* field, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromLatin1(text::kMemoryBudgetGroup), parent);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QString::fromLatin1(text::kMemoryBudgetLabel), group), 0, 0);
    grid->addWidget(field, 0, 1);
    grid->addWidget(new QLabel(QString::fromLatin1(text::kMemoryBudgetUnit), group), 0, 2);
    const qulonglong halfMB = velanox::codec::defaultMemoryBudget() >> 20;
    auto* note = new QLabel(QString::fromLatin1(text::kMemoryBudgetNote) + QString::number(halfMB) +
                                QStringLiteral(" MB)."),
                            group);
    note->setObjectName(QStringLiteral("label_budget"));
    note->setWordWrap(true);
    grid->addWidget(note, 1, 0, 1, 3);
    return group;
}

} // namespace

MemorySettingsDialog::MemorySettingsDialog(const velanox::document::MemorySettingsValues& values,
                                           QWidget* parent)
    : QDialog(parent), m_values(values) {
    setObjectName(objectNameFor("dialog", ids::kMemorySettingsDialog));
    setWindowTitle(QString::fromLatin1(text::kMemoryTitle));

    const int fieldIds[kFields] = {ids::kEditBlockWidth, ids::kEditBlockHeight, ids::kEditSwapWidth,
                                   ids::kEditSwapHeight, ids::kEditMemoryBudget};
    const int initial[kFields] = {values.maxBlockW, values.maxBlockH, values.maxSwapW,
                                  values.maxSwapH, values.budgetMB};
    for (int i = 0; i < kFields; ++i) {
        m_fields[i] = new QLineEdit(QString::number(initial[i]), this);
        m_fields[i]->setObjectName(objectNameFor("control", fieldIds[i]));
    }

    auto* note = new QLabel(QString::fromLatin1(text::kMemoryNote), this);
    note->setWordWrap(true);
    auto* clampNote = new QLabel(QString::fromLatin1(text::kMemoryClampNote), this);
    clampNote->setObjectName(QStringLiteral("label_clamp"));
    clampNote->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(objectNameFor("control", ids::kIdOk));
    buttons->button(QDialogButtonBox::Cancel)
        ->setObjectName(objectNameFor("control", ids::kIdCancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &MemorySettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MemorySettingsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sizeGroup(text::kMemoryBlockGroup, m_fields[0], m_fields[1], this));
    layout->addWidget(sizeGroup(text::kMemorySwapGroup, m_fields[2], m_fields[3], this));
    layout->addWidget(budgetGroup(m_fields[4], this));
    layout->addWidget(note);
    layout->addWidget(clampNote);
    layout->addWidget(buttons);
}

void MemorySettingsDialog::accept() {
    int parsed[kFields] = {};
    for (int i = 0; i < kFields; ++i) {
        bool ok = false;
        parsed[i] = m_fields[i]->text().trimmed().toInt(&ok);
        if (!ok) {
            showMessage(this, QString::fromLatin1(text::kEnterInteger));
            m_fields[i]->setFocus();
            m_fields[i]->selectAll();
            return;
        }
    }
    m_values = velanox::document::clampMemorySettings(
        {parsed[0], parsed[1], parsed[2], parsed[3], parsed[4]});
    QDialog::accept();
}

} // namespace velanox::ui
