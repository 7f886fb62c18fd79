#include "ui/close_deferral.h"

#include "ui/message_pump.h"

namespace velanox::ui {

CloseDeferral::CloseDeferral(std::function<void()> retryClose, QObject* parent)
    : QObject(parent), m_retryClose(std::move(retryClose)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDelayMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_timer.stop();
        m_retryClose();
    });
}

bool CloseDeferral::deferIfPumping() {
    if (MessagePump::messagePumpIdle()) return false;
    if (!m_timer.isActive()) {
        m_timer.start();
        ++m_starts;
    }
    return true;
}

} // namespace velanox::ui
