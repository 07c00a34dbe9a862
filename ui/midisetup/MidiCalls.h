// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>
#include <utility>

namespace qob {

// Runs calls into the MIDI service one at a time, in the order given, on a thread of its own,
// and hands each result to its receiver on the thread this object lives in. The service can
// hold a caller for seconds (a stopped JACK server), and two calls at once into libjack or
// RtMidi are not safe: one queue serves them all.
class MidiCalls : public QObject {
    Q_OBJECT
public:
    explicit MidiCalls(QObject* parent = nullptr);
    // Waits for the call in hand; calls not yet started are dropped.
    ~MidiCalls() override;

    // `call` runs on the queue's thread; `done(result)` then runs here, unless `receiver` has
    // gone by then.
    template <typename Call, typename Done> void run(QObject* receiver, Call call, Done done) {
        ++m_pending;
        emit busyChanged(true);
        startThread();
        QMetaObject::invokeMethod(
            m_worker,
            [this, closing = m_closing, target = QPointer<QObject>(receiver),
             call = std::move(call), done = std::move(done)]() mutable {
                if (*closing)
                    return;
                auto result = call();
                QMetaObject::invokeMethod(
                    this,
                    [this, target, done = std::move(done), result = std::move(result)]() mutable {
                        if (target)
                            done(std::move(result));
                        finished();
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

    bool busy() const { return m_pending > 0; }
    // Lets the calls in hand finish, the window still drawing but user input held back; true
    // when none is left within `timeoutMs`.
    bool waitUntilIdle(int timeoutMs);

signals:
    void busyChanged(bool busy);

private:
    // Started with the first call: most sessions never touch MIDI, and start-up is quicker
    // without a thread to create.
    void startThread();
    void finished();

    QThread m_thread;
    QObject* m_worker = nullptr;
    std::shared_ptr<std::atomic<bool>> m_closing = std::make_shared<std::atomic<bool>>(false);
    int m_pending = 0;
};

} // namespace qob
