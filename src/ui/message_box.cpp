#include "ui/message_box.h"

#include "ui/ui_strings.h"

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
} // namespace

void showMessage(QWidget* parent, const QString& text, MessageKind kind) {
    if (const MessageHandler& handler = currentHandler()) {
        handler(parent, text);
        return;
    }
    const QString title = QString::fromLatin1(text::kApplicationName);
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
