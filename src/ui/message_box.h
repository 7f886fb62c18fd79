// Every message box of the program goes through showMessage, so tests can answer them.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace velanox::ui {

/// Shows text in a modal message box with an OK button, titled with the program's name.
/// How a message box is marked: a warning (something did not happen) or information.
enum class MessageKind { Warning, Information };
void showMessage(QWidget* parent, const QString& text, MessageKind kind = MessageKind::Warning);

using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;
/// Replaces the message box (tests record the texts instead); an empty handler restores it.
/// Returns the previous handler.
MessageHandler setMessageHandler(MessageHandler handler);

/// The buttons of a question and the answer given.
enum class QuestionKind { YesNo, YesNoCancel };
enum class QuestionAnswer { Yes, No, Cancel };

/// Asks text in a modal box with Yes and No (and Cancel); closing the box answers No for a
/// yes/no question and Cancel otherwise.
QuestionAnswer askQuestion(QWidget* parent, const QString& text, QuestionKind kind);

using QuestionHandler =
    std::function<QuestionAnswer(QWidget* parent, const QString& text, QuestionKind kind)>;
/// Replaces the question box (tests answer instead); an empty handler restores it.
QuestionHandler setQuestionHandler(QuestionHandler handler);

} // namespace velanox::ui
