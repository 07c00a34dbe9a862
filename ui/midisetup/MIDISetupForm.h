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

class MidiOutService;

// The dialog's ways out to the main window.
struct MidiSetupSeams {
    std::function<void()> closePort; // closes MidiOutHandle and keeps the code in MidiResult
    std::function<void(const QString& text, const QString& informative)> showMessage;
};

// "MIDI Device Setup": picks the output port from "MIDI Mapper" and the service's ports and
// opens it on OK. Modeless; the main window creates it once and OK only hides it.
class MIDISetupForm : public QDialog {
    Q_OBJECT
public:
    MIDISetupForm(EditorState& state, std::shared_ptr<MidiOutService> service,
                  QWidget* parent = nullptr);

    MidiSetupSeams& seams() { return m_seams; }

    // Fills the list afresh, keeping the selected port by its name.
    void Form_Update();
    void cmdOK_Click();

private:
    void layOut();

    EditorState& m_state;
    std::shared_ptr<MidiOutService> m_service;
    MidiSetupSeams m_seams;
    QLabel* m_label2 = nullptr;
    QComboBox* m_comboMidiOut = nullptr;
    QPushButton* m_cmdOK = nullptr;
};

} // namespace qob
