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
}

MidiCalls::~MidiCalls() {
    *m_closing = true;
    if (!m_thread.isRunning() && !m_thread.isFinished()) {
        delete m_worker; // never started, so nothing else will
        return;
    }
    m_thread.quit();
    m_thread.wait();
}

void MidiCalls::startThread() {
    // Calls queued before this are kept for the worker until its event loop runs.
    if (!m_thread.isRunning())
        m_thread.start();
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
