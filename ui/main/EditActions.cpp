// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/EditActions.h"

#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "model/PresetFile.h"
#include "ui/main/DocumentActions.h"
#include "ui/main/ElementMap.h"
#include "ui/main/PresetDocument.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace qob {
namespace {

// The keys of the main window, in the order the help lists them.
struct KeyAction {
    const char* name;
    QList<QKeySequence> keys;
    const char* help;
    std::function<void(frmMain&)> handler;
    // Most keys wait, as the pointer does, while the Element Assign dialog is open: its OK
    // stores into the preset they would change or replace.
    bool whileDialogOpen = false;
};

const std::vector<KeyAction>& keyActions() {
    const auto keys = [](std::initializer_list<QKeyCombination> combos) {
        QList<QKeySequence> list;
        for (const QKeyCombination c : combos)
            list << QKeySequence(c);
        return list;
    };
    // clang-format off
    static const std::vector<KeyAction> actions = {
        {"actionOpen", keys({Qt::CTRL | Qt::Key_O}),
         "Open a preset file, as OPEN does", [](frmMain& w) { w.files().openPresetFile(); }},
        {"actionSave", keys({Qt::CTRL | Qt::Key_S}),
         "Save to the file last opened or saved (the first time, as Save As)",
         [](frmMain& w) { w.files().savePresetFile(); }},
        {"actionSaveAs", keys({Qt::CTRL | Qt::SHIFT | Qt::Key_S}),
         "Save As, as SAVE AS does", [](frmMain& w) { w.files().savePresetFileAs(); }},
        {"actionUndo", keys({Qt::CTRL | Qt::Key_Z}),
         "Undo the last change", [](frmMain& w) { w.edits().undo(); }},
        {"actionRedo", keys({Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Qt::CTRL | Qt::Key_Y}),
         "Redo", [](frmMain& w) { w.edits().redo(); }},
        {"actionCopy", keys({Qt::CTRL | Qt::Key_C}),
         "Copy the assignment on the display (the control last pointed at, in the layer shown)",
         [](frmMain& w) { w.edits().copy(); }, true},
        {"actionPaste", keys({Qt::CTRL | Qt::Key_V}),
         "Paste an assignment onto the control on the display", [](frmMain& w) { w.edits().paste(); }},
        {"actionFillNumber", keys({Qt::CTRL | Qt::Key_R}),
         "Fill the row: copy the V-Pot, Fader or Button on the display to the other 15 of its "
         "kind, the controller or note number one higher each", [](frmMain& w) { w.edits().fillRow(FillStep::Number); }},
        {"actionFillChannel", keys({Qt::CTRL | Qt::SHIFT | Qt::Key_R}),
         "Fill the row, the MIDI channel one higher each", [](frmMain& w) { w.edits().fillRow(FillStep::Channel); }},
        {"actionQuit", keys({Qt::CTRL | Qt::Key_Q}),
         "Quit, as EXIT does", &frmMain::exitProgram},
        {"actionHelp", keys({Qt::Key_F1}),
         "This help", [](frmMain& w) { w.edits().showKeyHelp(); }, true},
        // The window has no menu: the sheet is printed from the keyboard. Printing changes
        // nothing, so it need not wait for the dialog.
        {"actionPrint", QKeySequence::keyBindings(QKeySequence::Print),
         "Print the preset sheet, both layers", [](frmMain& w) { w.files().printSheet(); }, true},
    };
    // clang-format on
    return actions;
}

// What the help says beyond the window's own keys.
const char* const kOtherKeys[][2] = {
    {"Arrow keys", "Move to the nearest control or painted key that way"},
    {"Tab, Shift+Tab", "Move to the next or previous control or painted key in reading order"},
    {"Home, End", "Move to V-Pot 1, or to EXIT"},
    {"Enter, Space",
     "Press the control or painted key in focus, as a click does; in the Element Assign "
     "dialog, Enter is OK"},
    {"Esc", "Close the dialog in front, as Cancel does (an open list first)"},
};
struct PaintedKey {
    std::int16_t code;
    const char* name;
    const char* help;
};
const PaintedKey kPaintedKeys[] = {
    {AREA_LAYER, "MIDI", "Show the MIDI layer; click the lit key to go back to DAW"},
    {AREA_SHIFT, "SHIFT", "Show V-Pots, Faders and Buttons 9-16; click the lit key for 1-8"},
    {AREA_OPEN, "OPEN", "Open a preset file (.qob)"},
    {AREA_SAVE_AS, "SAVE AS", "Save the preset under a name you choose"},
    {AREA_MIDI_DEVICE, "MIDI DEVICE", "Choose the MIDI output port"},
    {AREA_SEND, "SEND", "Send the preset to the surface's chosen slot"},
    {AREA_EXIT, "EXIT", "Quit"},
};
const char* const kPointerHelp =
    "Point at a control to see its assignment; click it to change it. The keys above do "
    "the same without the pointer, and a screen reader names each control. Drag the window by any "
    "bare part of the panel. Drop a .qob file on it to open that file, or a .syx capture of a "
    "transfer to read the preset back from it.";

} // namespace

QString paintedKeyHelp(int areaCode) {
    for (const PaintedKey& painted : kPaintedKeys)
        if (painted.code == areaCode)
            return QString::fromLatin1(painted.help);
    return {};
}

EditActions::EditActions(Preset& preset, EditorState& state, PresetDocument& document,
                         MainWindowSeams& windowSeams, QObject* parent)
    : QObject(parent), m_preset(preset), m_state(state), m_document(document),
      m_windowSeams(windowSeams) {}

void EditActions::installKeys(frmMain& window) {
    for (const KeyAction& key : keyActions()) {
        auto* action = new QAction(&window);
        action->setObjectName(QString::fromLatin1(key.name));
        action->setShortcuts(key.keys);
        action->setText(QString::fromLatin1(key.help));
        connect(action, &QAction::triggered, this,
                [this, &window, handler = key.handler, always = key.whileDialogOpen] {
                    if (always || !m_state.DialogOpen)
                        handler(window);
                });
        window.addAction(action);
    }
}

void EditActions::undo() {
    m_document.undoStack().undo();
}

void EditActions::redo() {
    m_document.undoStack().redo();
}

void EditActions::copy() {
    const int element = m_state.CurrentElement;
    const std::string text = writeRecord(element, m_state.ActiveLayer,
                                         m_preset.Elements[element].record(m_state.ActiveLayer));
    QGuiApplication::clipboard()->setText(fromCp1252(text));
    m_seams.showStatus(QStringLiteral("Copied ") +
                       QString::fromStdString(elementName(m_state.CurrentElement)));
}

void EditActions::paste() {
    const QString text = QGuiApplication::clipboard()->text();
    const std::optional<std::string> bytes = toCp1252(text);
    if (!bytes) {
        m_windowSeams.showMessage(
            QStringLiteral("Can't paste: the clipboard holds characters a preset "
                           "file cannot store."),
            escapeControls(text.left(80)) + (text.size() > 80 ? QStringLiteral("...") : QString()));
        return;
    }
    const int element = m_state.CurrentElement;
    const EditResult result = pasteRecord(m_preset, element, m_state.ActiveLayer, *bytes);
    if (!result.ok) {
        m_windowSeams.showMessage(QString::fromStdString(result.text),
                                  QString::fromStdString(result.detail));
        return;
    }
    if (!m_document.commit(QStringLiteral("Paste onto ") +
                           QString::fromStdString(elementName(element))))
        m_seams.redraw();
}

void EditActions::fillRow(FillStep step) {
    const EditResult result =
        qob::fillRow(m_preset, m_state.CurrentElement, m_state.ActiveLayer, step);
    if (!result.ok) {
        m_windowSeams.showMessage(QString::fromStdString(result.text),
                                  QString::fromStdString(result.detail));
        return;
    }
    m_document.commit(QStringLiteral("Fill the row of ") +
                      QString::fromStdString(elementName(m_state.CurrentElement)));
    m_seams.showStatus(QString::fromStdString(result.text));
}

void EditActions::showKeyHelp() {
    QString html = QStringLiteral("<table cellspacing=\"4\">");
    const auto row = [&html](const QString& keys, const QString& what) {
        html += QStringLiteral("<tr><td><b>") + keys.toHtmlEscaped() +
                QStringLiteral("</b></td><td>") + what.toHtmlEscaped() +
                QStringLiteral("</td></tr>");
    };
    const auto heading = [&html](const char* text) {
        html += QStringLiteral("<tr><td colspan=\"2\"><br><u>") + QLatin1String(text) +
                QStringLiteral("</u></td></tr>");
    };
    heading("Keys");
    for (const KeyAction& key : keyActions()) {
        QStringList names;
        for (const QKeySequence& k : key.keys)
            names << k.toString(QKeySequence::NativeText);
        row(names.join(QStringLiteral(", ")), QString::fromLatin1(key.help));
    }
    for (const auto& other : kOtherKeys)
        row(QString::fromLatin1(other[0]), QString::fromLatin1(other[1]));
    heading("Painted keys");
    for (const PaintedKey& painted : kPaintedKeys)
        row(QString::fromLatin1(painted.name), QString::fromLatin1(painted.help));
    html += QStringLiteral("</table><p>") + QString::fromLatin1(kPointerHelp).toHtmlEscaped() +
            QStringLiteral("</p>");
    m_windowSeams.showMessage(QStringLiteral("Keys and buttons of the QOB-TANDRIX Editor"), html);
}

} // namespace qob
