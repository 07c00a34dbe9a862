// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"
#include "ui/main/DocumentActions.h"
#include "ui/main/FileActions.h"
#include "ui/main/MainWindowSeams.h"

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <memory>

class QFrame;
class QLabel;
class QTimer;

namespace qob {

class EditActions;
class ElementSetupForm;
class LitPicture;
class LocateRing;
class MIDISetupForm;
class MidiLink;
class PanelLabel;
class PresetDocument;
class SurfaceFocus;

// The borderless, colour-keyed main window: the skin, the information panel on its display
// field, the pointer handlers and the keys. Reads the one Preset and EditorState directly and
// changes the preset through the document, one undo step per change.
class frmMain : public QWidget {
    Q_OBJECT
public:
    // Button codes of the pointer handlers; only the left button acts.
    static constexpr int kLeftButton = 1;
    static constexpr int kRightButton = 2;
    static constexpr int kMiddleButton = 4;

    // With a document of its own around `preset`, which must outlive the window.
    frmMain(Preset& preset, EditorState& state, QWidget* parent = nullptr);
    ~frmMain() override;

    MainWindowSeams& seams() { return m_seams; }
    PresetDocument& document() { return *m_document; }

    // Start values, the default preset from `programFolder`, the first redraw. Runs once, before
    // the window is first shown.
    void startUp(const QString& programFolder);
    // The document's file actions: open, save, the question, drops, printing.
    DocumentActions& files() { return *m_documentActions; }
    // EXIT: the question, then the port closed and the program ended.
    void exitProgram();

    // The keys and the edits beside the dialog.
    EditActions& edits() { return *m_editActions; }
    // The picture as one keyboard focus stop, and its regions in the accessibility tree.
    SurfaceFocus& surface() { return *m_surface; }

    void Form_MouseDown(int Button, int Shift, float X, float Y);
    void Form_MouseMove(int Button, int Shift, float X, float Y);
    void Form_Unload();
    void Pic_Channel_Shift_Click();
    void Pic_Select_Click();

    void Locate_Element(float X, float Y);
    void Display_Element_Name();
    void Display_Current_Element();
    void Display_Current_Type();
    void Display_MIDI_Event();

    // Filled by the dialogs and the MIDI link; empty until then.
    virtual void showElementSetupForm();
    virtual void showMidiSetupForm();
    virtual void SendDeviceDump();
    virtual void closeMidiPort();

    // A control heard from the surface: `element` of `layer` on the panel, switching bank and
    // layer as their keys do, and marked on the picture.
    void showControl(int element, Layer layer);

    // True where the skin shows the colour key, which neither shows nor takes the pointer.
    bool isKeyColoured(QPointF pos) const;
    // The window as it looks on screen: key-coloured pixels transparent.
    QImage screenshot();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setUp();
    void setUpWindow();
    void updateTitle();
    void buildPanel();
    const ElementAssignment& shownRecord() const;
    void startWindowDrag();
    template <typename Form, typename Create> void bringUp(QPointer<Form>& form, Create create);

    std::unique_ptr<PresetDocument> m_document;
    Preset& m_preset;
    EditorState& m_state;
    MainWindowSeams m_seams;
    DocumentActions* m_documentActions = nullptr;
    EditActions* m_editActions = nullptr;
    SurfaceFocus* m_surface = nullptr;

    QImage m_skin1x; // the key lookup, in skin pixels
    QPixmap m_skin;  // what is painted, at the screen's pixel ratio
    qreal m_skinRatio = 0;

    PanelLabel* m_elementName = nullptr;
    PanelLabel* m_type = nullptr;
    PanelLabel* m_data = nullptr;
    PanelLabel* m_explain = nullptr;
    PanelLabel* m_sysEx = nullptr;
    PanelLabel* m_dawMidi = nullptr;
    PanelLabel* m_presetName = nullptr;
    PanelLabel* m_index = nullptr;
    QFrame* m_lineM = nullptr;
    LitPicture* m_picChannelShift = nullptr;
    LitPicture* m_picSelect = nullptr;

    // Fallback drag where the window system cannot move the window itself.
    bool m_dragging = false;
    QPointF m_pressGlobal;
    QPointF m_dragPointerStart;
    QPoint m_dragWindowStart;
    bool m_ended = false;
    // Created on first use; its close box destroys it, and the pointer then reads null.
    QPointer<ElementSetupForm> m_elementSetupForm;

    // The status row (the panel's second row) tells what the window did: a send's progress
    // while it runs, then for a while its outcome, a copy or a fill. Hovering an element, the
    // current one too, gives the row back to the assignment at once.
    void showStatus(const QString& text, bool forAWhile = true);
    QTimer* m_statusTimer = nullptr;
    bool m_statusShown = false;
    static constexpr int kStatusShownMs = 4000;

    // The MIDI link: the service, its call queue and SEND. The dialog is created on first use.
    MidiLink* m_link = nullptr;
    LocateRing* m_ring = nullptr;
    QPointer<MIDISetupForm> m_midiSetupForm;
};

} // namespace qob
