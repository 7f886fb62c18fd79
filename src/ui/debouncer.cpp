#include "ui/debouncer.h"

namespace velanox::ui {

Debouncer::Debouncer(std::function<void()> action, QObject* parent)
    : QObject(parent), m_action(std::move(action)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_action) m_action();
    });
}

void Debouncer::schedule(int delayMs) {
    m_timer.start(delayMs);
}

void Debouncer::flush() {
    if (!m_timer.isActive()) return;
    m_timer.stop();
    if (m_action) m_action();
}

} // namespace velanox::ui
