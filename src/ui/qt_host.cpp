#include "ui/qt_host.h"

#include "document/folder_navigation.h"
#include "ui/message_box.h"
#include "ui/message_pump.h"
#include "ui/progress_dialog.h"
#include "ui/status_bar.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>

namespace velanox::ui {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

constexpr const char* kWorkingText = "Working";

class StatusBarProgress : public velanox::document::StatusProgress {
public:
    StatusBarProgress(StatusBar* bar, int32_t total) : m_bar(bar) {
        if (m_bar) m_bar->createProgress(QString::fromLatin1(kWorkingText), 100, int(total));
    }
    ~StatusBarProgress() override {
        if (m_bar) m_bar->destroyProgress();
    }
    bool isShown() const override { return m_bar && m_bar->hasProgress(); }
    void setPosition(int32_t step) override {
        if (m_bar) m_bar->setProgressPosition(int(step));
    }

private:
    QPointer<StatusBar> m_bar;
};

class DialogProgress : public velanox::document::ProgressDialog {
public:
    DialogProgress(QWidget* parent, const QString& title)
        : m_dialog(new ui::ProgressDialog(title)) {
        m_dialog->create(parent);
    }
    ~DialogProgress() override {
        if (m_dialog) {
            m_dialog->destroy();
            delete m_dialog.data();
        }
    }
    void setText(std::string_view text) override {
        if (m_dialog) m_dialog->setText(fromUtf8(text));
    }
    void setRange(int32_t low, int32_t high) override {
        if (m_dialog) m_dialog->setRange(int(low), int(high));
    }
    void setPosition(int32_t position) override {
        if (m_dialog) m_dialog->setPosition(int(position));
    }
    bool cancelPressed() const override { return m_dialog && m_dialog->cancelled(); }

private:
    QPointer<ui::ProgressDialog> m_dialog;
};

} // namespace

std::unique_ptr<velanox::document::ProgressDialog> makeProgressWindow(QWidget* parent,
                                                                      const QString& title) {
    return std::make_unique<DialogProgress>(parent, title);
}

QtHost::QtHost(QWidget* parent, StatusBar* statusBar)
    : m_parent(parent), m_statusBar(statusBar), m_escape(new EscapeWatcher(parent)) {}

QtHost::~QtHost() = default;

void QtHost::showMessage(std::string_view text) {
    // Reaching either end of the folder is news, not a fault.
    const bool news = text == velanox::document::kLastFileInFolderMessage ||
                      text == velanox::document::kFirstFileInFolderMessage;
    ui::showMessage(m_parent, fromUtf8(text),
                    news ? MessageKind::Information : MessageKind::Warning);
}

velanox::document::Answer QtHost::askQuestion(std::string_view text,
                                              velanox::document::QuestionButtons buttons) {
    const QuestionKind kind = buttons == velanox::document::QuestionButtons::YesNoCancel
                                  ? QuestionKind::YesNoCancel
                                  : QuestionKind::YesNo;
    switch (ui::askQuestion(m_parent, fromUtf8(text), kind)) {
    case QuestionAnswer::Yes:
        return velanox::document::Answer::Yes;
    case QuestionAnswer::No:
        return velanox::document::Answer::No;
    default:
        return velanox::document::Answer::Cancel;
    }
}

velanox::document::PumpResult QtHost::pumpEvents() {
    MessagePump::pumpEvents();
    const bool quitting = QCoreApplication::closingDown() || (m_quitRequested && m_quitRequested());
    return quitting ? velanox::document::PumpResult::Quitting
                    : velanox::document::PumpResult::Continue;
}

void QtHost::setRunning(bool running) {
    m_running = running;
    m_escape->setRunning(running);
    if (m_runObserver) m_runObserver(running);
}

bool QtHost::escapePending() {
    return m_escape->escapePending();
}

void QtHost::beginWaitCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void QtHost::endWaitCursor() {
    QApplication::restoreOverrideCursor();
}

std::unique_ptr<velanox::document::StatusProgress> QtHost::createStatusProgress(int32_t total) {
    return std::make_unique<StatusBarProgress>(m_statusBar, total);
}

std::unique_ptr<velanox::document::ProgressDialog> QtHost::createProgressDialog() {
    return makeProgressWindow(m_parent);
}

void QtHost::updateAllViews() {
    if (m_viewUpdater) m_viewUpdater();
}

void QtHost::showStatusText(std::string_view text) {
    if (m_statusBar) m_statusBar->showMessage(fromUtf8(text), 5000);
}

} // namespace velanox::ui
