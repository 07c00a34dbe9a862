// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace qob {

class MidiCalls;
class MidiInPort;
class MidiInService;
class MidiOutService;

// The dialog's ways out to the main window.
struct MidiSetupSeams {
    std::function<void()> closePort; // closes MidiOutHandle and keeps the code in MidiResult
    std::function<void(const QString& text, const QString& informative)> showMessage;
    // Listens to `port` (nullptr: to nothing) and hands back the input listened to until now,
    // which the dialog closes on the call queue.
    std::function<std::shared_ptr<MidiInPort>(std::shared_ptr<MidiInPort> port)> listen;
};

// The input list's first entry, and the one selected at start: nothing is listened to.
inline constexpr const char* kNoInputName = "None";

// "MIDI Device Setup": picks the output port from "MIDI Mapper" and the service's ports and
// opens it on OK; below, the input to listen to ("None", our own input port, the sources).
// Modeless; the main window creates it once and OK only hides it. The service is asked through
// `calls`, never on the window's thread.
class MIDISetupForm : public QDialog {
    Q_OBJECT
public:
    MIDISetupForm(EditorState& state, std::shared_ptr<MidiOutService> service, MidiCalls& calls,
                  QWidget* parent = nullptr, std::shared_ptr<MidiInService> input = nullptr);

    MidiSetupSeams& seams() { return m_seams; }

    // Fills the list afresh, keeping the selected port by its name. The ports arrive later;
    // until then the list and OK are disabled.
    void Form_Update();
    // Opens the chosen entry; the dialog hides once the outcome is in.
    void cmdOK_Click();

private:
    void layOut();
    void setBusy(bool busy);

    EditorState& m_state;
    std::shared_ptr<MidiOutService> m_service;
    std::shared_ptr<MidiInService> m_input; // none: the list offers only "None"
    MidiCalls& m_calls;
    bool m_busy = false; // listing or opening in progress
    bool m_listingPending = false;
    int m_listing = 0;  // tells the latest listing from an earlier one
    QString m_keptName; // the selection while the list is being refilled
    QString m_keptInName;
    MidiSetupSeams m_seams;
    QLabel* m_label2 = nullptr;
    QComboBox* m_comboMidiOut = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QLabel* m_labelIn = nullptr;
    QComboBox* m_comboMidiIn = nullptr;
};

} // namespace qob
