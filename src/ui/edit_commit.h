// EditCommit: when a typed value counts as entered. A bounded edit box is corrected (limited to
// its range, a text that is no number replaced) only once its value is committed: Enter, the
// focus leaving the box, a pause after the last keystroke, or the owner's own OK. Never on a
// keystroke, so typing 90 into a box of 40..100 does not pass through a corrected 9.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QLineEdit;

namespace velanox::ui {

class EditCommit : public QObject {
    Q_OBJECT
public:
    /// The pause after the last keystroke that commits what was typed.
    static constexpr int kPauseMs = 1500;

    /// Calls commit on the edit's commits; the object is a child of the edit.
    EditCommit(QLineEdit* edit, std::function<void()> commit);

    /// Typed since the last commit.
    bool isPending() const { return m_pending; }
    /// Commits now what was typed (OK buttons and owners that read the value).
    void flush();

private:
    std::function<void()> m_commit;
    QTimer m_pause;
    bool m_pending = false;
};

} // namespace velanox::ui
