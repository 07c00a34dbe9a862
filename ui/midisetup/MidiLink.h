// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

class QWidget;

namespace qob {

class DumpSender;
class MIDISetupForm;
class MidiCalls;
class MidiInPort;
class MidiInService;
class MidiListener;
class MidiOutPort;
class MidiOutService;
struct HeardMessage;
struct TransferOutcome;

// What the link needs of the main window; each is read when used, so a test may point the
// window's own seams elsewhere at any time.
struct MidiLinkSeams {
    std::function<void(const QString& text, const QString& informative)> showMessage;
    // The panel's status row: `forAWhile` keeps it there a few seconds, else until replaced.
    std::function<void(const QString& text, bool forAWhile)> showStatus;
    // False once the pointer gave the row back to the assignment.
    std::function<bool()> statusShown;
    std::function<std::shared_ptr<MidiOutService>()> midiService;
    // The MIDI input service, asked for once with the output service.
    std::function<std::shared_ptr<MidiInService>()> midiInService;
    // Learn: a message heard while Element Assign is open, for its rows.
    std::function<void(std::span<const std::uint8_t> message)> learn;
    // Locate: the control that sends a heard message, shown as hovering shows it.
    std::function<void(int element, Layer layer)> showControl;
    // The window's own closeMidiPort, which a test may replace.
    std::function<void()> closePort;
};

// The main window's link to the surface: the MIDI service and its call queue, the MIDI Device
// Setup dialog's wiring, SEND with its refusals, progress and outcome on the status row, and
// the wait for a running send before the port closes.
class MidiLink : public QObject {
    Q_OBJECT
public:
    MidiLink(Preset& preset, EditorState& state, QWidget* window);

    MidiLinkSeams& seams() { return m_seams; }
    // An open, close or listing is under way: its outcome is not known yet.
    bool busy() const;
    // Asked for once, on the window's thread, and kept: the dialog and SEND's reconnect share it.
    std::shared_ptr<MidiOutService> service();
    MIDISetupForm* createSetupForm();
    // What the user chose to listen to in the dialog; idle until then.
    MidiListener& listener() { return *m_listener; }

    // SEND: refuses with a reason, or starts the transfer beside the window.
    void send();
    // Lets a running send finish, then closes the port on the call queue.
    void closePort();
    // EXIT: no new send from here on, and the calls in hand are let finish (each is bounded).
    void beginShutdown();
    void waitUntilIdle();

private:
    // While Element Assign is open a heard message goes to the dialog; else the control that
    // sends it is shown, or the status row says that none does.
    void heard(const HeardMessage& message);
    void closeInput(std::shared_ptr<MidiInPort> port);
    void showNotSent(const std::string& reason);
    void showProgress(int handedOver);
    void refuseSend(const std::string& reason, const QString& text, const QString& informative);
    void sendFinished(const TransferOutcome& outcome);
    void startSend(std::shared_ptr<MidiOutPort> port);

    Preset& m_preset;
    EditorState& m_state;
    QWidget* m_window;
    MidiLinkSeams m_seams;
    MidiCalls* m_calls;
    std::shared_ptr<MidiOutService> m_service; // from the seam, at its first use
    MidiListener* m_listener;
    DumpSender* m_sender = nullptr;
    bool m_unloading = false; // EXIT is waiting for the MIDI service: no new send
    // An open and a close, each bounded by the service at about 5 s.
    static constexpr int kMidiCallsWaitMs = 12000;
    // A transfer takes 1.92 s, three tries at most; the port's own bounds end a stuck one
    // within 5 s more.
    static constexpr int kSendFinishWaitMs = 12000;
    int m_sendSlot = 0;
    int m_sendTry = 1;
};

} // namespace qob
