#include "ui/message_pump.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace velanox::ui {

int MessagePump::s_depth = 0;

void MessagePump::pumpEvents() {
    Busy busy;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool MessagePump::messagePumpIdle() {
    return s_depth == 0;
}

MessagePump::Busy::Busy() {
    ++s_depth;
}
MessagePump::Busy::~Busy() {
    --s_depth;
}

EscapeWatcher::EscapeWatcher(QObject* parent) : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);
}

EscapeWatcher::~EscapeWatcher() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void EscapeWatcher::setRunning(bool running) {
    m_running = running;
    if (running) m_escape = false;
}

bool EscapeWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (m_running && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_escape = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velanox::ui
