#include "ui/edit_commit.h"

#include <QLineEdit>

namespace velanox::ui {

EditCommit::EditCommit(QLineEdit* edit, std::function<void()> commit)
    : QObject(edit), m_commit(std::move(commit)) {
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &EditCommit::flush);
    connect(edit, &QLineEdit::textEdited, this, [this] {
        m_pending = true;
        m_pause.start(kPauseMs);
    });
    // Enter, and the focus leaving after a change.
    connect(edit, &QLineEdit::editingFinished, this, &EditCommit::flush);
}

void EditCommit::flush() {
    m_pause.stop();
    if (!m_pending) return;
    m_pending = false;
    if (m_commit) m_commit();
}

} // namespace velanox::ui
