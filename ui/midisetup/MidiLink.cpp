// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/midisetup/MidiLink.h"

#include "device/ControlIndex.h"
#include "device/DumpTransfer.h"
#include "device/MidiInPort.h"
#include "device/MidiOutPort.h"
#include "ui/midisetup/DumpSender.h"
#include "ui/midisetup/MIDISetupForm.h"
#include "ui/midisetup/MidiCalls.h"
#include "ui/midisetup/MidiListener.h"

#include "vocab/ShortText.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace qob {

MidiLink::MidiLink(Preset& preset, EditorState& state, QWidget* window)
    : QObject(window), m_preset(preset), m_state(state), m_window(window),
      m_calls(new MidiCalls(this)), m_listener(new MidiListener(this)) {
    // Tests and the window find the queue by this name.
    m_calls->setObjectName(QStringLiteral("MidiCalls"));
    m_listener->release = [this](std::shared_ptr<MidiInPort> port) { closeInput(std::move(port)); };
    connect(m_listener, &MidiListener::heard, this, &MidiLink::heard);
    connect(m_listener, &MidiListener::ended, this, [this](const QString& why) {
        m_seams.showStatus(QStringLiteral("Listening ended: ") + why, false);
    });
}

void MidiLink::heard(const HeardMessage& message) {
    if (m_state.DialogOpen) {
        m_seams.learn(message.bytes);
        return;
    }
    // Built for each frame's message: the preset may have changed since, and 112 records are
    // quickly indexed.
    const std::vector<ControlMatch> matches = ControlIndex(m_preset).match(message.bytes);
    if (matches.empty()) {
        m_seams.showStatus(QStringLiteral("Heard %1: not in this preset")
                               .arg(QString::fromStdString(heardEventText(message.bytes))),
                           true);
        return;
    }
    const ControlMatch shown = shownMatch(matches, m_state.ActiveLayer, m_state.ChannelShift);
    m_seams.showControl(shown.element, shown.layer);
}

bool MidiLink::busy() const {
    return m_calls->busy();
}

MIDISetupForm* MidiLink::createSetupForm() {
    auto* form = new MIDISetupForm(m_state, service(), *m_calls, m_window,
                                   m_seams.midiInService ? m_seams.midiInService() : nullptr);
    form->seams().closePort = [this] { m_seams.closePort(); };
    form->seams().listen = [this](std::shared_ptr<MidiInPort> port) {
        return m_listener->listen(std::move(port));
    };
    return form;
}

void MidiLink::beginShutdown() {
    m_unloading = true;
    closeInput(m_listener->listen(nullptr));
    m_calls->waitUntilIdle(kMidiCallsWaitMs);
}

// A close can wait on the service (a stopped server holds it): it goes on the queue.
void MidiLink::closeInput(std::shared_ptr<MidiInPort> port) {
    if (port)
        m_calls->run(
            this,
            [port = std::move(port)]() mutable {
                port.reset();
                return 0;
            },
            [](int) {});
}

void MidiLink::waitUntilIdle() {
    m_calls->waitUntilIdle(kMidiCallsWaitMs);
}

// Asked here, on the window's thread, and kept: the dialog and SEND's reconnect share it.
std::shared_ptr<MidiOutService> MidiLink::service() {
    if (!m_service)
        m_service = m_seams.midiService();
    return m_service;
}

// The send runs on a thread of its own; its progress and outcome take the status row. A send
// that does not start says so there too, so the row never keeps an earlier "Sent to slot N".
void MidiLink::send() {
    if (m_sender && m_sender->isRunning())
        return; // one send at a time
    if (m_calls->busy()) {
        // The port is being opened, closed or listed; its outcome is not known yet.
        showNotSent("the MIDI port is busy, press SEND again in a moment");
        return;
    }
    std::shared_ptr<MidiOutPort> port = m_state.MidiOutHandle;
    if (!port) {
        // A port was chosen, but opening it failed: sending would reach nobody.
        refuseSend(
            "no open port", QStringLiteral("No MIDI port is open ! Please Click <MIDI DEVICE>"),
            QStringLiteral("The last attempt to open one gave rc = %1.").arg(m_state.MidiResult));
        return;
    }
    if (!port->serviceStatus().ok()) {
        // The server went away under the open port. If the port's owner is back under the same
        // name, the user means that port.
        const std::string name = port->name();
        m_calls->run(
            this, [midi = service(), name] { return midi->openNamed(name); },
            [this, port, name](const OpenResult& again) {
                if (!again.port) {
                    refuseSend(
                        "no MIDI service", QString::fromStdString(openFailureText(kMidiNoService)),
                        QString::fromStdString(port->serviceStatus().detail + ", and " + name +
                                               " cannot be opened again: " + again.status.detail));
                    return;
                }
                m_calls->run(
                    this, [port] { return port->close(); }, [](const MidiStatus&) {});
                m_state.MidiOutHandle = again.port;
                m_state.MidiResult = again.status.code;
                if (m_unloading)
                    return;
                startSend(again.port);
            });
        return;
    }
    startSend(port);
}

void MidiLink::startSend(std::shared_ptr<MidiOutPort> port) {
    const DumpResult image = BuildDeviceDump(m_preset);
    if (!image.image) {
        refuseSend("the preset cannot be sent", QString::fromStdString(image.error),
                   QStringLiteral("Nothing was sent."));
        return;
    }
    if (m_preset.PresetIndex < kFirstPresetSlot || m_preset.PresetIndex > kLastPresetSlot) {
        refuseSend("no such slot",
                   QStringLiteral("Preset index %1 is outside %2..%3.")
                       .arg(m_preset.PresetIndex)
                       .arg(kFirstPresetSlot)
                       .arg(kLastPresetSlot),
                   QStringLiteral("Nothing was sent."));
        return;
    }
    if (port->connectionCount() == 0) {
        refuseSend("no connection",
                   QStringLiteral("MIDI port %1 is connected to nothing.")
                       .arg(QString::fromStdString(port->name())),
                   QStringLiteral("Connect it to the surface, then send again. Nothing was sent."));
        return;
    }
    if (!m_sender) {
        m_sender = new DumpSender(this);
        m_sender->setObjectName(QStringLiteral("DumpSender"));
        m_sender->onProgress = [this](int handedOver) {
            // Once the pointer took the row back, the progress leaves it to the assignment.
            if (m_seams.statusShown())
                showProgress(handedOver);
        };
        m_sender->onRetry = [this](int tryNumber) { m_sendTry = tryNumber; };
        m_sender->onFinished = [this](const TransferOutcome& outcome) { sendFinished(outcome); };
    }
    m_sendSlot = m_preset.PresetIndex;
    m_sendTry = 1;
    showProgress(0);
    m_sender->start(makeDumpBlocks(*image.image, m_sendSlot), port);
}

void MidiLink::showProgress(int handedOver) {
    static const char* const kTryWords[] = {"", " (second try)", " (third try)"};
    m_seams.showStatus(QStringLiteral("Sending %1/%2%3")
                           .arg(handedOver)
                           .arg(kDumpBlocks)
                           .arg(QLatin1String(kTryWords[std::clamp(m_sendTry, 1, 3) - 1])),
                       false);
}

void MidiLink::sendFinished(const TransferOutcome& outcome) {
    switch (outcome.kind) {
    case TransferOutcome::Kind::Sent:
        m_seams.showStatus(QString::fromStdString(sentStatusText(m_sendSlot, outcome.tries)), true);
        return;
    case TransferOutcome::Kind::CyclesMissed:
        showNotSent("the server missed a cycle in each of " + std::to_string(kTransferTries) +
                    " tries");
        m_seams.showMessage(QString::fromStdString(cyclesMissedText(m_sendSlot)), QString());
        return;
    case TransferOutcome::Kind::Cancelled:
        showNotSent("stopped at " + std::to_string(outcome.handedOver) + "/" +
                    std::to_string(kDumpBlocks));
        return;
    case TransferOutcome::Kind::Failed:
        showNotSent("failed at block " + std::to_string(outcome.failedBlock + 1) + "/" +
                    std::to_string(kDumpBlocks));
        m_seams.showMessage(QString::fromStdString(sendStoppedText(outcome)),
                            outcome.handedOver > 0
                                ? QString::fromStdString(partialSlotText(m_sendSlot))
                                : QStringLiteral("Nothing was sent."));
        return;
    }
}

void MidiLink::showNotSent(const std::string& reason) {
    m_seams.showStatus(QString::fromStdString(notSentStatusText(reason)), true);
}

// A send that cannot start: the short reason on the status row, and the whole story in a message.
void MidiLink::refuseSend(const std::string& reason, const QString& text,
                          const QString& informative) {
    showNotSent(reason);
    m_seams.showMessage(text, informative);
}

// A send in progress is let finish first: stopped half-way, it would leave the surface's slot
// holding half of one preset and half of another. It takes about 2 s, and the display shows
// it meanwhile; user input waits.
void MidiLink::closePort() {
    if (m_sender && m_sender->isRunning()) {
        QEventLoop loop;
        connect(m_sender, &DumpSender::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(kSendFinishWaitMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (m_sender)
        m_sender->stop();
    if (!m_state.MidiOutHandle) {
        m_state.MidiResult = kMidiInvalidHandle;
        return;
    }
    // Closed on the service's queue, so an open asked for next waits for it.
    m_calls->run(
        this, [port = std::move(m_state.MidiOutHandle)] { return port->close(); },
        [this](const MidiStatus& closed) { m_state.MidiResult = closed.code; });
    m_state.MidiOutHandle.reset();
}

} // namespace qob
