#include "ui/message_box.h"

#include "ui/ui_strings.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>

namespace velanox::ui {

namespace {
MessageHandler& currentHandler() {
    static MessageHandler handler;
    return handler;
}
QuestionHandler& currentQuestionHandler() {
    static QuestionHandler handler;
    return handler;
}
// A box shown while the wait cursor is up (a load or a save that failed) is answered with the
// ordinary pointer.
class ArrowCursor {
public:
    ArrowCursor() : m_active(QApplication::overrideCursor() != nullptr) {
        if (m_active) QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~ArrowCursor() {
        if (m_active) QApplication::restoreOverrideCursor();
    }
    ArrowCursor(const ArrowCursor&) = delete;
    ArrowCursor& operator=(const ArrowCursor&) = delete;

private:
    bool m_active;
};

} // namespace

void showMessage(QWidget* parent, const QString& text, MessageKind kind) {
    if (const MessageHandler& handler = currentHandler()) {
        handler(parent, text);
        return;
    }
    const QString title = QString::fromLatin1(text::kApplicationName);
    ArrowCursor arrow;
    if (kind == MessageKind::Information)
        QMessageBox::information(parent, title, text);
    else
        QMessageBox::warning(parent, title, text);
}

MessageHandler setMessageHandler(MessageHandler handler) {
    MessageHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

QuestionAnswer askQuestion(QWidget* parent, const QString& text, QuestionKind kind) {
    if (const QuestionHandler& handler = currentQuestionHandler())
        return handler(parent, text, kind);
    const bool withCancel = kind == QuestionKind::YesNoCancel;
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel) buttons |= QMessageBox::Cancel;
    ArrowCursor arrow;
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(text::kApplicationName), text,
                    buttons, parent);
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return QuestionAnswer::Yes;
    case QMessageBox::No:
        return QuestionAnswer::No;
    default:
        return withCancel ? QuestionAnswer::Cancel : QuestionAnswer::No;
    }
}

QuestionHandler setQuestionHandler(QuestionHandler handler) {
    QuestionHandler previous = std::move(currentQuestionHandler());
    currentQuestionHandler() = std::move(handler);
    return previous;
}

} // namespace velanox::ui
