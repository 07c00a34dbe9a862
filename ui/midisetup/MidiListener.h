// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/MidiInPort.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace qob {

// Listens to the chosen MIDI input on the window's thread, once a frame: a burst (a fader sweep
// sends about 100 messages a second) gives one `heard` per frame, with the last message of the
// frame, so the panel follows the hand and never falls behind. Nothing runs before an input is
// chosen.
class MidiListener : public QObject {
    Q_OBJECT
public:
    explicit MidiListener(QObject* parent = nullptr);

    // Starts listening to `port`, or stops for nullptr; returns the port listened to until now,
    // for the caller to close where a close may block (on the MIDI call queue).
    std::shared_ptr<MidiInPort> listen(std::shared_ptr<MidiInPort> port);
    bool listening() const { return m_port != nullptr; }
    std::string portName() const { return m_port ? m_port->name() : std::string(); }

    // Where an input that ended by itself goes to be closed, off the window's thread; by
    // default it is dropped at once.
    std::function<void(std::shared_ptr<MidiInPort>)> release;

    static constexpr int kFrameMs = 16;

signals:
    void heard(const qob::HeardMessage& last);
    // The input ended by itself (the source or the service went away); listening has stopped.
    void ended(const QString& why);

private:
    void poll();

    QTimer m_timer;
    std::shared_ptr<MidiInPort> m_port;
};

} // namespace qob
