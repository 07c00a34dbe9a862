// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qob {

class PopupComboBox;
struct Refusal;
enum class InputField;

// What would block on a modal window goes through here, so tests can answer in its place.
struct ElementSetupSeams {
    std::function<void(const QString& text, const QString& informative)> showMessage;
    // Called after OK has stored into the preset and hidden the dialog; the main window shows
    // the result at once.
    std::function<void()> stored;
};

// The "Element Assign" dialog: one element's assignment in one layer, with the preset's name and
// index. Created by the main window on first use, hidden by OK and Cancel, destroyed by its close
// box. Reads and writes the one Preset and EditorState directly.
class ElementSetupForm : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` is the parent and the window the dialog is placed against; may be null.
    ElementSetupForm(Preset& preset, EditorState& state, QWidget* mainWindow);

    // The main window points showMessage at its own message seam.
    ElementSetupSeams& seams() { return m_seams; }

    void Form_Update();
    // Learn: a message heard from the surface fills the row that can hold it, a channel
    // message the MIDI row (the MIDI kind picked), a SysEx of at most ten bytes after F0 the
    // SysEx row where that row is enabled. Nothing is stored before OK. False when no row
    // takes it.
    bool learn(std::span<const std::uint8_t> message);

    void cmdOK_Click();
    void cmdCancel_Click();
    void Form_Unload();

    void txt_Data_1_GotFocus();
    void txt_Data_2_GotFocus();
    void txt_Data_3_GotFocus();
    void txt_Keyboard_GotFocus();
    void txt_SysEx_GotFocus();
    void Check_Ctrl_GotFocus();
    void Check_Shift_GotFocus();
    void Check_Alt_GotFocus();
    void Combo1_GotFocus();

    // Converts the layout's twips to this screen's pixels.
    int twipsX(int twips) const;
    int twipsY(int twips) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildControls();
    void placeAtMainCorner();
    void placeAgainIfFramed();
    void setKind(QRadioButton* on);
    void turnOff(QRadioButton* button);
    void showExplain(const std::string& explain);
    std::string explainToStore() const;
    std::string nameToStore() const;
    QLineEdit* fieldOf(InputField field) const;
    void refuse(const Refusal& refusal);
    std::uint8_t modifierBits() const;

    Preset& m_preset;
    EditorState& m_state;
    QWidget* m_mainWindow;
    ElementSetupSeams m_seams;

    // What Form_Update filled the dialog for; OK stores there whatever the main window did since.
    int m_element = 0;
    Layer m_layer = Layer::Daw;
    // A keystroke or SysEx record shown on a disabled row (only a hand-edited file makes one):
    // OK gives its bytes back unchanged.
    bool m_keepShownBytes = false;
    bool m_placeWhenFramed = false;
    // The texts as stored, which the fields' length limits may have cut; an unedited field gives
    // them back whole.
    std::string m_shownName;
    std::string m_shownExplain;

    QRadioButton* m_optKeyboard = nullptr;
    QRadioButton* m_optMidi = nullptr;
    QRadioButton* m_optSysEx = nullptr;
    QCheckBox* m_checkCtrl = nullptr;
    QCheckBox* m_checkShift = nullptr;
    QCheckBox* m_checkAlt = nullptr;
    QLineEdit* m_txtKeyboard = nullptr;
    QLineEdit* m_txtSysEx = nullptr;
    QLineEdit* m_txtData1 = nullptr;
    QLineEdit* m_txtData2 = nullptr;
    QLineEdit* m_txtData3 = nullptr;
    QLineEdit* m_txtExplain = nullptr;
    QLineEdit* m_txtPresetName = nullptr;
    PopupComboBox* m_combo1 = nullptr;
    PopupComboBox* m_combo2 = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;

    struct FocusHandler {
        QObject* field;
        void (ElementSetupForm::*handler)();
    };
    std::vector<FocusHandler> m_focusHandlers;
};

} // namespace qob
