// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"
#include "model/RecordEdits.h"
#include "ui/main/MainWindowSeams.h"

#include <QObject>
#include <QString>

#include <functional>

namespace qob {

class PresetDocument;
class frmMain;

// What a painted key (AREA_EXIT .. AREA_SHIFT) does, in the words of the F1 help.
QString paintedKeyHelp(int areaCode);

struct EditActionsSeams {
    // The panel's status row, for a few seconds: "Copied Fader  3".
    std::function<void(const QString& text)> showStatus;
    // Shows the preset again where no change was committed to say so.
    std::function<void()> redraw;
};

// The main window's keys and the edits they make beside the Element Assign dialog: the key
// table (one table, from which the F1 help is built), undo and redo, copy and paste of an
// assignment, and filling a row. Each change is one undo step of the document.
class EditActions : public QObject {
    Q_OBJECT
public:
    EditActions(Preset& preset, EditorState& state, PresetDocument& document,
                MainWindowSeams& windowSeams, QObject* parent = nullptr);

    EditActionsSeams& seams() { return m_seams; }
    // Every row of the key table as a QAction of `window`, named "action" + what it does.
    void installKeys(frmMain& window);

    void undo();
    void redo();
    // The assignment on the display (the control last pointed at, in the layer shown).
    void copy();
    void paste();
    void fillRow(FillStep step);
    void showKeyHelp();

private:
    Preset& m_preset;
    EditorState& m_state;
    PresetDocument& m_document;
    MainWindowSeams& m_windowSeams;
    EditActionsSeams m_seams;
};

} // namespace qob
