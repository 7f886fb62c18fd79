// Every message box of the program goes through showMessage, so tests can answer them.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace velanox::ui {

/// Shows text in a modal message box with an OK button, titled with the program's name.
void showMessage(QWidget* parent, const QString& text);

using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;
/// Replaces the message box (tests record the texts instead); an empty handler restores it.
/// Returns the previous handler.
MessageHandler setMessageHandler(MessageHandler handler);

} // namespace velanox::ui
