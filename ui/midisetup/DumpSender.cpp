// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/midisetup/DumpSender.h"

#include "device/MidiOutPort.h"

#include <QMetaObject>

namespace qob {

DumpSender::DumpSender(QObject* parent) : QObject(parent) {}

DumpSender::~DumpSender() {
    stop();
}

void DumpSender::start(const DumpBlocks& blocks, std::shared_ptr<MidiOutPort> port) {
    stop();
    m_cancel = false;
    m_running = true;
    const int run = ++m_run;
    m_thread = std::thread([this, run, blocks, port = std::move(port)] {
        // Reports a count to `report` on the window's thread while this run is the current one.
        const auto relay = [this, run](std::function<void(int)> DumpSender::*report) {
            return [this, run, report](int count) {
                QMetaObject::invokeMethod(
                    this,
                    [this, run, report, count] {
                        if (run == m_run && m_running && this->*report)
                            (this->*report)(count);
                    },
                    Qt::QueuedConnection);
            };
        };
        const TransferOutcome outcome = transferDump(
            blocks, *port, m_cancel, relay(&DumpSender::onProgress), relay(&DumpSender::onRetry));
        QMetaObject::invokeMethod(
            this,
            [this, run, outcome] {
                if (run != m_run)
                    return; // a newer run took over
                if (m_running) {
                    if (m_thread.joinable())
                        m_thread.join();
                    m_running = false;
                }
                if (onFinished)
                    onFinished(outcome);
                emit finished();
            },
            Qt::QueuedConnection);
    });
}

void DumpSender::stop() {
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

} // namespace qob
