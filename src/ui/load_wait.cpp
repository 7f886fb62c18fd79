#include "ui/load_wait.h"

#include "ui/message_pump.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMainWindow>
#include <QStatusBar>
#include <QThread>

#include <atomic>

namespace velanox::ui {

namespace {

// The innermost wait; read by the reader's poll on whatever thread reads.
std::atomic<LoadWait*> g_current{nullptr};

constexpr int kCancelledShownMs = 5000;
// How long one poll may spend on pending events before the reader is looked at again.
constexpr int kPumpMs = 30;

bool isPersonsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

LoadWait::LoadWait(QStatusBar* bar, const QString& path, std::function<bool()> stopRequested)
    : m_bar(bar), m_stopRequested(std::move(stopRequested)),
      m_modalAtStart(QApplication::activeModalWidget()), m_outer(g_current.load()) {
    const QString name = QFileInfo(path).fileName();
    m_text = name.isEmpty() ? QStringLiteral("Loading... (Esc cancels)")
                            : QStringLiteral("Loading %1... (Esc cancels)").arg(name);
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    if (m_bar) m_bar->showMessage(m_text);
    QCoreApplication::instance()->installEventFilter(this);
    g_current.store(this);
}

LoadWait::~LoadWait() {
    g_current.store(m_outer);
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    if (!m_bar) return;
    if (m_cancelled)
        m_bar->showMessage(QString::fromLatin1(kCancelledText), kCancelledShownMs);
    else if (m_bar->currentMessage() == m_text)
        m_bar->clearMessage();
}

bool LoadWait::isActive() {
    return g_current.load() != nullptr;
}

bool LoadWait::keepWaiting() {
    if (!g_current.load()) return true;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) return true;
    {
        // A close of the window meanwhile is deferred, as during a run.
        MessagePump::Busy busy;
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPumpMs);
    }
    LoadWait* wait = g_current.load();
    if (!wait) return true;
    if (!wait->m_cancelled && wait->m_stopRequested && wait->m_stopRequested())
        wait->m_cancelled = true;
    return !wait->m_cancelled;
}

QStatusBar* LoadWait::statusBarOf(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (auto* window = qobject_cast<QMainWindow*>(w)) return window->statusBar();
    return nullptr;
}

bool LoadWait::eventFilter(QObject* watched, QEvent* event) {
    if (g_current.load() != this || !isPersonsInput(event->type()))
        return QObject::eventFilter(watched, event);
    // A box that opened during the read (a fault reported by a timer's work) takes its
    // answer as usual.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != m_modalAtStart)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        m_cancelled = true;
    // Taken: nothing else may start while the picture is read. An accepted shortcut override
    // keeps the key from being tried as a shortcut.
    event->accept();
    return true;
}

} // namespace velanox::ui
