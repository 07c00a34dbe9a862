// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace qob::bench {

// The longest pause of the window's event loop while this lives: a timer that wants to run
// every `intervalMs`, and the largest gap between two of its turns.
class LoopStall {
public:
    explicit LoopStall(int intervalMs) {
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_tick.setInterval(intervalMs);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worstMs = std::max(m_worstMs, (now - m_last) / 1e6);
            m_last = now;
        });
        m_tick.start();
    }
    double worstMs() const { return m_worstMs; }
    double elapsedSeconds() const { return m_clock.nsecsElapsed() / 1e9; }

private:
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_last = 0;
    double m_worstMs = 0;
};

} // namespace qob::bench
