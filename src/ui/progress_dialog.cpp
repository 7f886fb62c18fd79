#include "ui/progress_dialog.h"

#include "ui/message_pump.h"
#include "ui/resource_ids.h"
#include "ui/ui_strings.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace velanox::ui {

QString progressPercentText(int position, int lower, int upper) {
    int p = 0;
    if (upper > lower) {
        p = int((qint64(position) - lower) * 100 / (qint64(upper) - lower));
    } else {
        // An empty range has nothing left to do once the position reaches it.
        p = position >= upper ? 100 : 0;
    }
    if (p != 100) p %= 100;
    return QStringLiteral("%1%").arg(p);
}

ProgressDialog::ProgressDialog(const QString& title) {
    setObjectName(objectNameFor("dialog", ids::kProgressDialog));
    setWindowTitle(title.isEmpty() ? QString::fromLatin1(text::kProgressTitle) : title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_text = new QLabel(this);
    m_text->setObjectName(objectNameFor("control", ids::kProgressText));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(objectNameFor("control", ids::kProgressBar));
    m_bar->setTextVisible(false);
    m_percent = new QLabel(QString::fromLatin1(text::kProgressInitialPercent), this);
    m_percent->setObjectName(objectNameFor("control", ids::kProgressPercent));
    m_percent->setMinimumWidth(40);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(objectNameFor("control", ids::kIdCancel));
    connect(cancelButton, &QPushButton::clicked, this, &ProgressDialog::cancel);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_text, 0, 0, 1, 2);
    layout->addWidget(m_bar, 1, 0);
    layout->addWidget(m_percent, 1, 1);
    layout->addWidget(cancelButton, 2, 0, 1, 2, Qt::AlignHCenter);
    setMinimumWidth(320);

    setRange(0, 100);
    m_bar->setValue(0);
}

ProgressDialog::~ProgressDialog() {
    destroy();
}

bool ProgressDialog::create(QWidget* parent) {
    if (parent && parent->isEnabled()) {
        parent->setEnabled(false);
        m_disabledParent = parent;
    }
    if (parent) {
        // A window of its own, placed over the parent, that stays usable while the parent is
        // disabled.
        setParent(parent, Qt::Dialog);
        setEnabled(true);
    }
    setModal(false);
    show();
    return true;
}

void ProgressDialog::destroy() {
    if (m_disabledParent) {
        m_disabledParent->setEnabled(true);
        m_disabledParent = nullptr;
    }
    hide();
}

void ProgressDialog::setRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
    m_bar->setRange(lower, upper);
}

void ProgressDialog::setText(const QString& text) {
    m_text->setText(text);
}

void ProgressDialog::setPosition(int position) {
    MessagePump::pumpEvents();
    m_bar->setValue(qBound(m_lower, position, m_upper));
    const QString percent = progressPercentText(position, m_lower, m_upper);
    if (m_percent->text() != percent) m_percent->setText(percent);
}

QString ProgressDialog::percentText() const {
    return m_percent->text();
}

void ProgressDialog::cancel() {
    m_cancelled = true;
}

void ProgressDialog::reject() {
    // Escape (and the window's close button) cancel the run; the dialog stays until it ends.
    cancel();
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    if (isVisible() && m_disabledParent) {
        cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace velanox::ui
