// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/midisetup/MidiCalls.h"

#include <QEventLoop>
#include <QTimer>

namespace qob {

MidiCalls::MidiCalls(QObject* parent) : QObject(parent) {
    m_thread.setObjectName(QStringLiteral("MIDI service"));
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

MidiCalls::~MidiCalls() {
    *m_closing = true;
    m_thread.quit();
    m_thread.wait();
}

void MidiCalls::finished() {
    if (--m_pending == 0)
        emit busyChanged(false);
}

bool MidiCalls::waitUntilIdle(int timeoutMs) {
    if (!busy())
        return true;
    QEventLoop loop;
    connect(this, &MidiCalls::busyChanged, &loop, [&loop](bool busy) {
        if (!busy)
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return !busy();
}

} // namespace qob
