// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/midisetup/MidiListener.h"

namespace qob {

MidiListener::MidiListener(QObject* parent) : QObject(parent) {
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, &MidiListener::poll);
}

std::shared_ptr<MidiInPort> MidiListener::listen(std::shared_ptr<MidiInPort> port) {
    std::shared_ptr<MidiInPort> previous = std::exchange(m_port, std::move(port));
    if (m_port)
        m_timer.start();
    else
        m_timer.stop();
    return previous;
}

void MidiListener::poll() {
    if (!m_port)
        return;
    // Never waits: what has come is taken, the rest comes next frame.
    const std::vector<HeardMessage> messages = m_port->take(std::chrono::milliseconds(0));
    if (!messages.empty())
        emit heard(messages.back());
    if (const MidiStatus status = m_port->status(); !status.ok()) {
        m_timer.stop();
        std::shared_ptr<MidiInPort> done = std::move(m_port);
        if (release)
            release(std::move(done));
        emit ended(QString::fromStdString(status.detail));
    }
}

} // namespace qob
