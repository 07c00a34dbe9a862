// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/DumpTransfer.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace qob {

// Runs the paced transfer on a thread of its own so that the window keeps answering, and
// reports back on the thread this object lives in.
class DumpSender : public QObject {
    Q_OBJECT
public:
    explicit DumpSender(QObject* parent = nullptr);
    ~DumpSender() override;

    // From start() until the outcome is reported or stop() returns.
    bool isRunning() const { return m_running; }
    void start(const DumpBlocks& blocks, std::shared_ptr<MidiOutPort> port);
    // Stops after the block in hand and waits for the thread. The outcome still arrives,
    // unless another run has started by then.
    void stop();

    std::function<void(int handedOver)> onProgress;
    // Before the whole dump goes again because the server missed a cycle: try 2, then 3.
    std::function<void(int tryNumber)> onRetry;
    std::function<void(const TransferOutcome& outcome)> onFinished;

signals:
    // After onFinished, once the current run is over.
    void finished();

private:
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    int m_run = 0; // tells reports of an earlier, stopped run from the current one
};

} // namespace qob
