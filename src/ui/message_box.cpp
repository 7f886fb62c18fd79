#include "ui/message_box.h"

#include "ui/ui_strings.h"

#include <QMessageBox>

namespace velanox::ui {

namespace {
MessageHandler& currentHandler() {
    static MessageHandler handler;
    return handler;
}
} // namespace

void showMessage(QWidget* parent, const QString& text) {
    if (const MessageHandler& handler = currentHandler()) {
        handler(parent, text);
        return;
    }
    QMessageBox::warning(parent, QString::fromLatin1(text::kApplicationName), text);
}

MessageHandler setMessageHandler(MessageHandler handler) {
    MessageHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

} // namespace velanox::ui
