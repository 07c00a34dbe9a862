// SPDX-License-Identifier: GPL-3.0-or-later
// The Element Assign dialog opened by the real main window and driven with keys, clicks and focus
// on the offscreen platform (its input rules: input_rules_test.cpp).
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"
#include "ui/assign/AssignLayout.h"
#include "ui/assign/ElementSetupForm.h"
#include "ui/assign/InputRules.h"
#include "ui/main/ElementMap.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <variant>

using namespace qob;

namespace {

class AssignDialogTest : public ::testing::Test, public test::DialogAnswers {
protected:
    Preset preset;
    EditorState state;
    std::unique_ptr<frmMain> w;
    ElementSetupForm* d = nullptr;

    void SetUp() override {
        w = std::make_unique<frmMain>(preset, state);
        answerDialogs(*w);
        w->move(30, 20);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }

    // What a press on an element does.
    void open(int element, Layer layer = Layer::Daw) {
        // The press lands on the main window; offscreen, hiding the dialog does not move the
        // activation back there by itself.
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == w.get(); }));
        state.CurrentElement = static_cast<std::int16_t>(element);
        state.ActiveLayer = layer;
        state.DialogOpen = true;
        w->showElementSetupForm();
        d = w->findChild<ElementSetupForm*>();
        ASSERT_TRUE(d);
        // Activation arrives as a queued event; the focus follows it.
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == d; }));
    }
    template <typename T = QWidget> T* c(const char* name) const {
        T* widget = d->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(widget) << name;
        return widget;
    }
    QString text(const char* field) const { return c<QLineEdit>(field)->text(); }
    bool on(const char* name) const { return c<QAbstractButton>(name)->isChecked(); }
    QString kind() const {
        QString k;
        for (const char* name : {"OptKeyboard", "OptMIDI", "OptSysEx"})
            if (on(name))
                k += QString::fromLatin1(name);
        return k;
    }
    void click(const char* name) { QTest::mouseClick(c(name), Qt::LeftButton); }
    // Clicks into the field and types over its text, one key per character.
    void type(const char* field, const QString& t) {
        click(field);
        c<QLineEdit>(field)->selectAll();
        QTest::keyClick(c(field), Qt::Key_Delete);
        for (QChar ch : t)
            QTest::sendKeyEvent(QTest::Click, c(field), Qt::Key_A, QString(ch), Qt::NoModifier);
    }
    void midi(const char* d1, const char* d2, const char* d3) {
        type("txt_Data_1", QString::fromLatin1(d1));
        type("txt_Data_2", QString::fromLatin1(d2));
        type("txt_Data_3", QString::fromLatin1(d3));
    }
};

TEST_F(AssignDialogTest, LayoutFollowsTheTableInTwips) {
    open(18, Layer::Midi);
    EXPECT_EQ(d->parentWidget(), w.get());
    EXPECT_TRUE(d->isWindow());
    const Qt::WindowFlags wanted =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    EXPECT_EQ(d->windowFlags() & wanted, wanted);
    EXPECT_FALSE(d->windowFlags() &
                 (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(d->size(), QSize(d->twipsX(7770), d->twipsY(6495)));
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    if (d->logicalDpiX() == 96) {
        EXPECT_EQ(d->size(), QSize(518, 433));
    }
    EXPECT_EQ(d->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(d->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(d->font().family(), "Times New Roman");
    const QObjectList order = d->children();
    for (const AssignControl& ctl : kAssignControls) {
        SCOPED_TRACE(ctl.name);
        QWidget* x = c(ctl.name);
        ASSERT_TRUE(x);
        EXPECT_EQ(x->parentWidget(), d);
        EXPECT_EQ(x->geometry(), QRect(d->twipsX(ctl.left), d->twipsY(ctl.top),
                                       d->twipsX(ctl.width), d->twipsY(ctl.height)));
        const QString caption = QString::fromLatin1(ctl.caption);
        const double points[] = {10.5, 9, 14.25, 10.5};
        EXPECT_EQ(x->font().pointSizeF(), points[int(ctl.font)]);
        EXPECT_EQ(x->font().bold(), ctl.font == AssignFont::Dialog || ctl.font == AssignFont::Data);
        switch (ctl.kind) {
        case AssignControlKind::Option:
            EXPECT_TRUE(qobject_cast<QRadioButton*>(x));
            [[fallthrough]];
        case AssignControlKind::Check:
        case AssignControlKind::Button:
            EXPECT_EQ(qobject_cast<QAbstractButton*>(x)->text(), caption);
            EXPECT_EQ(ctl.kind == AssignControlKind::Check, bool(qobject_cast<QCheckBox*>(x)));
            break;
        case AssignControlKind::Text:
            EXPECT_EQ(qobject_cast<QLineEdit*>(x)->maxLength(),
                      ctl.maxLength ? ctl.maxLength : 32767);
            break;
        case AssignControlKind::List:
            EXPECT_FALSE(qobject_cast<QComboBox*>(x)->isEditable());
            break;
        case AssignControlKind::Frame: {
            EXPECT_EQ(qobject_cast<QGroupBox*>(x)->title(), caption);
            EXPECT_TRUE(x->findChildren<QWidget*>().isEmpty());
            EXPECT_EQ(x->focusPolicy(), Qt::NoFocus);
            for (QObject* other : order) // drawn first, so every field lies on top
                if (other->isWidgetType() && !qobject_cast<QGroupBox*>(other)) {
                    EXPECT_LT(order.indexOf(x), order.indexOf(other));
                }
            break;
        }
        case AssignControlKind::Label:
            EXPECT_EQ(qobject_cast<QLabel*>(x)->text(), caption);
            break;
        }
    }
}

TEST_F(AssignDialogTest, TabWalksTheTableOrderAndEachFieldPicksItsRow) {
    preset.Elements[18].Midi = {0, 0xFF, 0, 4, "", {}};
    open(18, Layer::Midi);
    EXPECT_EQ(QApplication::focusWidget(), c("OptKeyboard")); // Form_Update's focus: no handler
    const std::pair<const char*, const char*> walk[] = {
        {"txt_Keyboard", "OptKeyboard"},
        {"Check_Alt", "OptKeyboard"},
        {"Check_Shift", "OptKeyboard"},
        {"Check_Ctrl", "OptKeyboard"},
        {"txt_Data_3", "OptMIDI"},
        {"txt_Data_2", "OptMIDI"},
        {"txt_Data_1", "OptMIDI"},
        {"OptMIDI", "OptMIDI"}, // the kind that is on only
        {"cmdOK", "OptMIDI"},
        {"Combo1", "OptMIDI"},
        {"txt_SysEx", "OptSysEx"},
        {"txt_Explain", "OptSysEx"},
        {"txt_Preset_Name", "OptSysEx"},
        {"Combo2", "OptSysEx"},
        {"cmdCancel", "OptSysEx"},
        {"txt_Keyboard", "OptKeyboard"},
    };
    for (const auto& [field, kindAfter] : walk) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), c(field))
            << field << " got " << QApplication::focusWidget()->objectName().toStdString();
        EXPECT_EQ(kind(), kindAfter) << field;
    }
    EXPECT_TRUE(state.DialogOpen);
}

TEST_F(AssignDialogTest, FormUpdateByElementLayerAndKind) {
    struct Case {
        int element;
        Layer layer;
        ElementAssignment record;
        bool keyRows;
        QStringList modes;
        int mode;
        const char* kind;
        const char* data[3];
    };
    constexpr Layer Daw = Layer::Daw, Midi = Layer::Midi;
    const QStringList nd{"Normal", "Drawbar"}, tp{"Toggle", "Push"};
    const Case cases[] = {
        {40, Daw, {0x10, 0xB0, 7, 99, "Vol", {}}, false, {}, -1, "OptMIDI", {" 176", " 7", " 99"}},
        {8, Midi, {0x10, 0x90, 1, 2, "", {}}, false, nd, 1, "OptMIDI", {" 144", " 1", " 2"}},
        {18, Daw, {0x80, 0xFF, 5, 58, "K", {}}, false, tp, 1, "OptMIDI", {" 255", " 5", " 58"}},
        {29, Midi, {0x80, 0x80, 0, 0, "", {}}, true, {}, -1, "OptMIDI", {" 128", " 0", " 0"}},
        {50, Midi, {0, 0xFF, 5, 58, "Key", {}}, true, tp, 0, "OptKeyboard", {"", "", ""}},
        {31, Midi, {0, 0x00, 0, 0, "", {}}, false, {}, -1, "OptMIDI", {" 0", " 0", " 0"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.element);
        preset.Elements[k.element].record(k.layer) = k.record;
        open(k.element, k.layer);
        EXPECT_EQ(d->windowTitle(), assignTitle(k.element));
        EXPECT_EQ(kind(), k.kind);
        for (const char* name : {"OptKeyboard", "Check_Ctrl", "Check_Shift", "Check_Alt",
                                 "txt_Keyboard", "OptSysEx", "txt_SysEx"})
            EXPECT_EQ(c(name)->isEnabled(), k.keyRows) << name;
        auto* modes = c<QComboBox>("Combo1");
        QStringList items;
        for (int i = 0; i < modes->count(); ++i)
            items << modes->itemText(i);
        EXPECT_EQ(items, k.modes);
        EXPECT_EQ(modes->isEnabled(), !k.modes.isEmpty());
        EXPECT_EQ(modes->currentIndex(), k.mode);
        EXPECT_EQ(text("txt_Data_1"), k.data[0]);
        EXPECT_EQ(text("txt_Data_2"), k.data[1]);
        EXPECT_EQ(text("txt_Data_3"), k.data[2]);
        EXPECT_EQ(text("txt_Explain"), QString::fromStdString(k.record.Explain));
        EXPECT_TRUE(QApplication::focusWidget()->isEnabled());
        EXPECT_EQ(QApplication::focusWidget(), c(k.kind));
        d->cmdCancel_Click();
    }
    // The keystroke shown last: Ctrl and Alt, <F1>. Its rows are now disabled and keep it.
    open(18, Layer::Daw);
    EXPECT_TRUE(on("Check_Ctrl") && on("Check_Alt") && !on("Check_Shift"));
    EXPECT_EQ(text("txt_Keyboard"), "<F1>");
    EXPECT_FALSE(c("txt_Keyboard")->isEnabled());
    d->cmdCancel_Click();

    preset.Elements[20].Midi = {0, 0xFF, 0, 79, "", {}}; // a key without a dialog text
    open(20, Layer::Midi);
    EXPECT_EQ(text("txt_Keyboard"), "");
    EXPECT_FALSE(on("Check_Ctrl") || on("Check_Alt"));
    preset.Elements[21].Midi = {0, 0xF0, 0x0A, 0xF7, "hidden", {0x33}};
    open(21, Layer::Midi);
    EXPECT_EQ(text("txt_SysEx"), "0A F7");
    EXPECT_EQ(text("txt_Explain"), "");
    EXPECT_EQ(kind(), "OptSysEx");
}

TEST_F(AssignDialogTest, PlacementTitleAndPresetIndexList) {
    for (const int index : {5, 0, 9, -3}) {
        preset.PresetIndex = static_cast<std::int16_t>(index);
        open(3);
        auto* list = c<QComboBox>("Combo2");
        EXPECT_EQ(list->count(), 8);
        EXPECT_EQ(list->currentText(), index == 5 ? "5" : "1") << index;
        // A window manager adds the frame after the first show; the corner then stays put.
        EXPECT_TRUE(QTest::qWaitFor([this] {
            return d->frameGeometry().bottomRight() == w->frameGeometry().bottomRight();
        })) << d->frameGeometry().x()
            << "," << d->frameGeometry().y() << " " << d->frameGeometry().width() << "x"
            << d->frameGeometry().height();
        EXPECT_EQ(d->windowTitle(), "Element Assign : V Pot  4");
        d->cmdCancel_Click();
    }
    for (int i = 0; i < 10; ++i) {
        preset.Elements[i].Daw.Status = 0xB0;
        open(i);
        d->cmdOK_Click();
    }
    EXPECT_EQ(c<QComboBox>("Combo2")->count(), 8);
    EXPECT_EQ(preset.PresetIndex, 1); // never 0
}

TEST_F(AssignDialogTest, OkStoresEachKind) {
    // Keystroke: Ctrl, Alt and "f" into the Midi record; Mode, SysExTail and Daw stay.
    preset.Elements[20].Midi = {0x80, 0x90, 1, 2, "old", {9, 9}};
    preset.Elements[20].Daw = {0, 0xB0, 1, 1, "daw", {}};
    open(20, Layer::Midi);
    click("Check_Ctrl");
    click("Check_Alt");
    type("txt_Keyboard", "f");
    type("txt_Explain", "Find");
    type("txt_Preset_Name", "Mine");
    QTest::keyClick(c("Combo2"), Qt::Key_Down);
    EXPECT_EQ(kind(), "OptKeyboard");
    click("cmdOK");
    EXPECT_EQ(preset.Elements[20].Midi, (ElementAssignment{0x80, 0xFF, 0x05, 9, "Find", {9, 9}}));
    EXPECT_EQ(preset.Elements[20].Daw.Explain, "daw");
    EXPECT_EQ(preset.Name, "Mine");
    EXPECT_EQ(preset.PresetIndex, 2);
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(state.DialogOpen);
    EXPECT_FALSE(state.PanelRefreshPending); // the panel was redrawn at once

    // Key texts in any case and with or without brackets; an empty text keeps a keystroke's code.
    for (const auto& [typed, code] : {std::pair{"<F12>", 69},
                                      {"<f12>", 69},
                                      {"f5", 62},
                                      {"<Space>", 44},
                                      {"Up", 82},
                                      {"", 80}}) {
        preset.Elements[20].Midi = {0, 0xFF, 0x07, 80, "", {}};
        open(20, Layer::Midi);
        click("Check_Shift");
        type("txt_Keyboard", QString::fromLatin1(typed));
        d->cmdOK_Click();
        EXPECT_EQ(preset.Elements[20].Midi.Data2, code) << typed;
        EXPECT_EQ(preset.Elements[20].Midi.Data1, 0x05) << typed;
    }

    // A click into txt_SysEx on an event record makes it a SysEx string.
    preset.Elements[48].Midi = {0x80, 0x90, 60, 127, "ev", {1, 2, 3, 4, 5, 6, 7, 8}};
    open(48, Layer::Midi);
    type("txt_SysEx", "41 10 42");
    EXPECT_EQ(kind(), "OptSysEx");
    click("cmdOK");
    EXPECT_EQ(preset.Elements[48].Midi,
              (ElementAssignment{0x80, 0xF0, 0x41, 0x10, "ev", {0x42, 0xF7, 3, 4, 5, 6, 7, 8}}));

    // MIDI events into the layer's record, with the mode by element group.
    struct Event {
        int element;
        Layer layer;
        int modeEntry;
        std::uint8_t modeBefore, modeAfter;
    };
    const Event events[] = {
        {3, Layer::Daw, 1, 0x00, 0x10},    {18, Layer::Midi, 1, 0x00, 0x80},
        {18, Layer::Daw, 0, 0x80, 0x00},   {40, Layer::Daw, -1, 0x91, 0x91},
        {29, Layer::Midi, -1, 0x80, 0x80}, {31, Layer::Daw, -1, 0x10, 0x10},
        {30, Layer::Daw, -1, 0x80, 0x80},
    };
    for (const Event& e : events) {
        SCOPED_TRACE(e.element);
        ElementSlot& slot = preset.Elements[e.element];
        slot = {};
        slot.record(e.layer).Mode = e.modeBefore;
        open(e.element, e.layer);
        midi("144", "60", "127");
        if (e.modeEntry >= 0)
            c<QComboBox>("Combo1")->setCurrentIndex(e.modeEntry);
        type("txt_Explain", "Note");
        click("cmdOK");
        EXPECT_EQ(slot.record(e.layer), (ElementAssignment{e.modeAfter, 144, 60, 127, "Note", {}}));
        EXPECT_EQ(slot.record(e.layer == Layer::Daw ? Layer::Midi : Layer::Daw),
                  ElementAssignment{});
    }
}

TEST_F(AssignDialogTest, OkRefusesWhatItCannotUseAndStoresNothing) {
    const ElementAssignment event{0x10, 0x90, 60, 100, "Vol", {}};
    struct Case {
        int element;
        Layer layer;
        const char* field;
        const char* typed;
        const char* name; // as the message calls the field
        const char* selected;
    };
    constexpr Layer Daw = Layer::Daw, Midi = Layer::Midi;
    const Case cases[] = {
        {5, Daw, "txt_Data_1", "60", "Status byte", "60"},
        {2, Daw, "txt_Data_1", "240", "Status byte", "240"},
        {5, Daw, "txt_Data_1", "", "Status byte", ""},
        {5, Daw, "txt_Data_2", "xy", "Data 1", "xy"},
        {5, Daw, "txt_Data_3", "12ab", "Data 2", "12ab"},
        {5, Daw, "txt_Data_3", "9999", "Data 2", "9999"},
        {20, Midi, "txt_Keyboard", "", "Key", ""},
        {20, Midi, "txt_Keyboard", "Enter", "Key", "Enter"},
        {20, Midi, "txt_SysEx", "41 1G 4l F0 90", "SysEx string", "1G"},
        {20, Midi, "txt_SysEx", "41 80", "SysEx string", "80"},
    };
    // A real message box hands the activation to the main window when it closes.
    w->seams().showMessage = [this](const QString& text, const QString& informative) {
        messages << text << informative;
        w->activateWindow();
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.field) + " " + k.typed);
        ElementSlot& slot = preset.Elements[k.element];
        slot.record(k.layer) = event;
        const ElementSlot before = slot;
        preset.Name = "Old";
        preset.PresetIndex = 3;
        state.PanelRefreshPending = false;
        messages.clear();
        open(k.element, k.layer);
        type(k.field, QString::fromLatin1(k.typed));
        type("txt_Explain", "New");
        type("txt_Preset_Name", "New");
        c<QComboBox>("Combo2")->setCurrentIndex(6);
        click("cmdOK");
        ASSERT_EQ(messages.size(), 2);
        EXPECT_TRUE(messages[0].startsWith(QLatin1String(k.name) + ": "))
            << messages[0].toStdString();
        EXPECT_TRUE(d->isVisible());
        EXPECT_TRUE(state.DialogOpen);
        EXPECT_FALSE(state.PanelRefreshPending);
        EXPECT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == d; }));
        EXPECT_EQ(QApplication::focusWidget(), c(k.field));
        EXPECT_EQ(c<QLineEdit>(k.field)->selectedText(), k.selected);
        EXPECT_EQ(slot, before);
        EXPECT_EQ(preset.Name, "Old");
        EXPECT_EQ(preset.PresetIndex, 3);
        d->cmdCancel_Click();
    }

    // Out-of-range numbers do not matter when another kind is stored.
    messages.clear();
    open(22, Layer::Midi);
    midi("999", "", "");
    type("txt_Keyboard", "q");
    click("cmdOK");
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(preset.Elements[22].Midi.Data2, 20);

    // Cancel after edits stores nothing.
    const ElementSlot before = preset.Elements[5];
    state.PanelRefreshPending = false;
    open(5);
    midi("200", "1", "1");
    type("txt_Preset_Name", "Other");
    click("cmdCancel");
    EXPECT_EQ(preset.Name, "Old");
    EXPECT_EQ(preset.Elements[5], before);
    EXPECT_FALSE(state.DialogOpen || state.PanelRefreshPending);
    EXPECT_FALSE(d->isVisible());
}

TEST_F(AssignDialogTest, AnyChangeToARowPicksItsKind) {
    preset.Elements[19].Midi = {0, 0xFF, 0, 4, "", {}};
    open(19, Layer::Midi);
    const auto kindOn = [this](const char* name) { c<QRadioButton>(name)->setChecked(true); };

    // The wheel turns the mode list without focusing it.
    ASSERT_NE(QApplication::focusWidget(), c("Combo1"));
    auto* modes = c<QComboBox>("Combo1");
    const auto turn = [modes](int steps) {
        const QPoint centre = modes->rect().center();
        QWheelEvent wheel(centre, modes->mapToGlobal(centre), {}, {0, -120 * steps}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(modes, &wheel);
    };
    turn(1);
    EXPECT_EQ(modes->currentIndex(), 1);
    EXPECT_EQ(kind(), "OptMIDI");
    // A click into the field that kept the focus meanwhile picks its row again.
    click("txt_Keyboard");
    EXPECT_EQ(kind(), "OptKeyboard");
    turn(-1);
    EXPECT_EQ(modes->currentIndex(), 0);
    EXPECT_EQ(kind(), "OptMIDI");
    ASSERT_EQ(QApplication::focusWidget(), c("txt_Keyboard"));
    click("txt_Keyboard");
    EXPECT_EQ(kind(), "OptKeyboard");

    // Keys and pastes into a field that already has the focus.
    click("txt_SysEx");
    kindOn("OptKeyboard");
    QTest::keyClick(c("txt_SysEx"), Qt::Key_4);
    EXPECT_EQ(kind(), "OptSysEx");
    click("txt_Keyboard");
    kindOn("OptSysEx");
    c<QLineEdit>("txt_Keyboard")->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("F5"));
    QTest::keyClick(c("txt_Keyboard"), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(kind(), "OptKeyboard");
    click("txt_Data_2");
    kindOn("OptKeyboard");
    QTest::keyClick(c("txt_Data_2"), Qt::Key_7);
    EXPECT_EQ(kind(), "OptMIDI");
    click("Check_Shift");
    kindOn("OptMIDI");
    QTest::keyClick(c("Check_Shift"), Qt::Key_Space);
    EXPECT_EQ(kind(), "OptKeyboard");
    // Keys on the focused mode list.
    click("Combo1");
    modes->hidePopup();
    kindOn("OptSysEx");
    QTest::keyClick(modes, Qt::Key_Down);
    EXPECT_EQ(kind(), "OptMIDI");

    // OK stores the pasted key; Shift was clicked on and keyed off again.
    kindOn("OptKeyboard");
    click("cmdOK");
    EXPECT_EQ(preset.Elements[19].Midi, (ElementAssignment{0, 0xFF, 0x00, 62, "", {}}));
}

TEST_F(AssignDialogTest, OkKeepsToTheElementAndLayerItWasFilledFor) {
    open(40);
    midi("176", "7", "1");
    w->Pic_Channel_Shift_Click(); // the lit pictures still work, and move CurrentElement
    EXPECT_EQ(state.CurrentElement, 8);
    state.ActiveLayer = Layer::Midi;
    click("cmdOK");
    EXPECT_EQ(preset.Elements[40].Daw.Status, 176);
    EXPECT_EQ(preset.Elements[8], ElementSlot{});
}

// A greyed control does nothing whatever reaches it, and OK stores no kind that the element and
// layer do not take, however its button came to be on, and only into the layer shown.
TEST_F(AssignDialogTest, DisabledControlsIgnoreEveryInputAndOkStoresOnlyWhatTheElementTakes) {
    for (const int element : {2, 18, 29, 31, 40}) {
        for (const Layer layer : {Layer::Daw, Layer::Midi}) {
            SCOPED_TRACE(testing::Message()
                         << element << (layer == Layer::Midi ? " MIDI" : " DAW"));
            ElementSlot& slot = preset.Elements[element];
            slot.Daw = {0, 0xB0, 7, 100, "daw", {}};
            slot.Midi = {0, 0x91, 60, 1, "midi", {}};
            const ElementSlot before = slot;
            open(element, layer);
            // Greyed rows keep what an earlier dialog left in them.
            c<QLineEdit>("txt_Keyboard")->setText(QStringLiteral("F"));
            c<QLineEdit>("txt_SysEx")->setText(QStringLiteral("00"));
            const QString shownKind = kind();
            std::vector<QWidget*> greyed;
            for (QWidget* control : d->findChildren<QWidget*>())
                if (!control->isEnabled() && !qobject_cast<QGroupBox*>(control))
                    greyed.push_back(control);
            for (QWidget* control : greyed) {
                SCOPED_TRACE(control->objectName().toStdString());
                const QPoint centre = control->rect().center();
                QTest::mouseClick(control, Qt::LeftButton, {}, centre);
                QWheelEvent wheel(centre, control->mapToGlobal(centre), {}, {0, -120}, Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(control, &wheel);
                for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Down, Qt::Key_A})
                    QTest::keyClick(control, key);
                EXPECT_EQ(kind(), shownKind);
                EXPECT_NE(QApplication::focusWidget(), control);
            }
            click("cmdOK");
            EXPECT_EQ(slot, before);
            // Another path to a greyed kind button stores nothing either.
            for (const char* greyedKind : {"OptKeyboard", "OptSysEx"}) {
                if (c(greyedKind)->isEnabled())
                    continue;
                open(element, layer);
                c<QRadioButton>(greyedKind)->setChecked(true);
                d->cmdOK_Click();
                EXPECT_EQ(slot, before) << greyedKind;
            }
        }
    }
}

// An open list takes Esc and Enter itself; the dialog takes them only from its other controls.
// Ctrl+Q on the main window waits for the dialog, as EXIT does.
TEST_F(AssignDialogTest, KeysWithTheDialogOpen) {
    preset.Elements[18].Midi = {0, 0x90, 60, 1, "", {}};
    for (const char* list : {"Combo1", "Combo2"}) {
        SCOPED_TRACE(list);
        open(18, Layer::Midi);
        type("txt_Explain", "Edited");
        c<QComboBox>(list)->showPopup();
        ASSERT_TRUE(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), Qt::Key_Escape);
        EXPECT_FALSE(QApplication::activePopupWidget());
        EXPECT_TRUE(d->isVisible());
        EXPECT_TRUE(state.DialogOpen);
        QTest::keyClick(d->windowHandle(), Qt::Key_Escape);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(preset.Elements[18].Midi.Explain, "");
    }
    open(18, Layer::Midi);
    type("txt_Data_2", "61");
    QTest::keyClick(d->windowHandle(), Qt::Key_Return);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(preset.Elements[18].Midi.Data1, 61);
    // Enter on a focused button presses that button.
    open(18, Layer::Midi);
    type("txt_Data_2", "62");
    c("cmdCancel")->setFocus();
    QTest::keyClick(d->windowHandle(), Qt::Key_Return);
    EXPECT_EQ(preset.Elements[18].Midi.Data1, 61);

    w->seams().askSaveChanges = [](const QString&) { return SaveAnswer::Discard; };
    open(3);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == w.get(); }));
    QTest::keyClick(w->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ends, 0);
    d->cmdCancel_Click();
    QTest::keyClick(w->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ends, 1);
}

TEST_F(AssignDialogTest, TextsAreWindows1252WithoutQuotesAndLongOnesSurviveUnedited) {
    preset.Name = std::string("Twenty characters \x80\xE9!");
    preset.Elements[2].Daw = {0, 0x90, 1, 1, "Ten chars!", {}};
    open(2);
    EXPECT_EQ(text("txt_Preset_Name").size(), 11);
    click("cmdOK");
    EXPECT_EQ(preset.Name, "Twenty characters \x80\xE9!");
    EXPECT_EQ(preset.Elements[2].Daw.Explain, "Ten chars!");

    open(2);
    type("txt_Explain", QString::fromUtf8("a\"\u20ac\u03a9\u00e9z"));
    EXPECT_EQ(text("txt_Explain"), QString::fromUtf8("a\u20ac\u00e9z"));
    auto* name = c<QLineEdit>("txt_Preset_Name");
    name->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("bad\"paste"));
    QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(name->text().size(), 11); // refused whole
    QApplication::clipboard()->setText(QString::fromUtf8("Caf\u00e9 \u2122"));
    QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
    click("cmdOK");
    EXPECT_EQ(preset.Elements[2].Daw.Explain, "a\x80\xE9z");
    EXPECT_EQ(preset.Name, "Caf\xE9 \x99");
}

TEST_F(AssignDialogTest, HandEditedKeystrokeOrSysExOnAnElementWithoutThoseRows) {
    const ElementAssignment key{0x10, 0xFF, 0x0B, 6, "Key", {}};
    preset.Elements[9].Midi = key;
    open(9, Layer::Midi);
    EXPECT_EQ(kind(), "OptKeyboard");
    EXPECT_FALSE(c("OptKeyboard")->isEnabled());
    EXPECT_TRUE(on("Check_Ctrl") && on("Check_Shift") && !on("Check_Alt"));
    EXPECT_EQ(text("txt_Keyboard"), "C");
    EXPECT_TRUE(QApplication::focusWidget()->isEnabled());
    type("txt_Explain", "Label");
    type("txt_Preset_Name", "P");
    click("cmdOK");
    EXPECT_EQ(preset.Elements[9].Midi, (ElementAssignment{0x10, 0xFF, 0x0B, 6, "Label", {}}));
    EXPECT_EQ(preset.Name, "P");

    const ElementAssignment sysex{0, 0xF0, 0x41, 0xF7, "", {0x12, 0x34}};
    preset.Elements[31].Midi = sysex;
    open(31, Layer::Midi);
    EXPECT_EQ(kind(), "OptSysEx");
    EXPECT_EQ(text("txt_SysEx"), "41 F7");
    EXPECT_FALSE(c("txt_SysEx")->isEnabled());
    EXPECT_TRUE(QApplication::focusWidget()->isEnabled());
    click("cmdOK");
    EXPECT_EQ(preset.Elements[31].Midi, sysex);
}

TEST_F(AssignDialogTest, OpeningTheModeListPicksMidiEvenWithTheFocusAlreadyThere) {
    preset.Elements[19].Midi = {0, 0xFF, 0, 4, "", {}};
    open(19, Layer::Midi);
    click("Combo1");
    EXPECT_EQ(kind(), "OptMIDI");
    c<QComboBox>("Combo1")->hidePopup();
    c<QRadioButton>("OptKeyboard")->setChecked(true); // the focus stays on the list
    ASSERT_EQ(QApplication::focusWidget(), c("Combo1"));
    click("Combo1");
    EXPECT_EQ(kind(), "OptMIDI");
    c<QComboBox>("Combo1")->hidePopup();
    // Fields without a handler leave the kind alone.
    for (const char* name : {"txt_Explain", "txt_Preset_Name", "Combo2", "cmdCancel"}) {
        c<QRadioButton>("OptSysEx")->setChecked(true);
        c(name)->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(kind(), "OptSysEx") << name;
    }
}

TEST_F(AssignDialogTest, CloseBoxDestroysAndTheNextOpeningBuildsAFreshOne) {
    open(18, Layer::Midi);
    type("txt_Preset_Name", "Unsaved");
    QPointer<ElementSetupForm> first = d;
    d->close();
    EXPECT_FALSE(state.DialogOpen);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(preset.Name, "");
    open(18, Layer::Midi);
    EXPECT_EQ(c<QComboBox>("Combo2")->count(), 8);
    EXPECT_EQ(w->findChildren<ElementSetupForm*>().size(), 1);
}

TEST_F(AssignDialogTest, PressOkShowsTheNewAssignmentAtOnce) {
    test::clickAt(w->windowHandle(), test::centreOf(19)); // Button 2
    EXPECT_TRUE(state.DialogOpen);
    d = w->findChild<ElementSetupForm*>();
    ASSERT_TRUE(d && d->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    EXPECT_EQ(d->windowTitle(), "Element Assign : Button  2");
    midi("176", "7", "100");
    type("txt_Explain", "Vol");
    click("cmdOK");
    auto* data = w->findChild<QLabel*>("Label_Data");
    EXPECT_EQ(data->text(), " 176, 7, 100");
    EXPECT_EQ(w->findChild<QLabel*>("Label_Explain")->text(), "Vol");
    EXPECT_FALSE(state.PanelRefreshPending);
}

// The dialog over the main window, as one picture: for looking at (QOB_SHOT_DIR keeps them; on
// a real display the screen is grabbed too, with the window frames), and to check that the
// captions read white on black and the fields stay light.
TEST_F(AssignDialogTest, ScreenshotsOverTheMainWindow) {
    const QString dir = qEnvironmentVariable("QOB_SHOT_DIR");
    QTemporaryDir temp;
    const QDir out(dir.isEmpty() ? temp.path() : dir);
    preset.Name = "Studio";
    preset.Elements[18].Midi = {0x80, 0xFF, 0x05, 69, "Save", {}};
    preset.Elements[19].Midi = {0, 0xF0, 0x43, 0x10, "", {0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}};
    preset.Elements[20].Daw = {0x80, 0x90, 60, 127, "Note", {}};
    struct Shot {
        int element;
        Layer layer;
        const char* file;
    };
    for (const Shot& s :
         {Shot{18, Layer::Midi, "assign_keystroke.png"}, Shot{19, Layer::Midi, "assign_sysex.png"},
          Shot{20, Layer::Daw, "assign_daw.png"}}) {
        open(s.element, s.layer);
        w->Display_Current_Element();
        QImage shot = w->screenshot();
        const QImage own = d->grab().toImage();
        {
            QPainter p(&shot);
            p.drawImage(d->geometry().topLeft() - w->geometry().topLeft(), own);
        }
        ASSERT_TRUE(shot.save(out.filePath(QString::fromLatin1(s.file))));
        if (QGuiApplication::platformName() == "xcb") {
            QTest::qWait(300); // let the window manager draw the frame
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                out.filePath(QStringLiteral("screen_") + QString::fromLatin1(s.file)));
        }
        const auto lightPixels = [&](const QRect& r) {
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    n += qGray(own.pixel(x * own.width() / d->width(),
                                         y * own.height() / d->height())) > 200;
            return n;
        };
        const QRect caption = c("Label1")->geometry();
        EXPECT_GT(lightPixels(caption), 20);
        EXPECT_LT(lightPixels(caption), caption.width() * caption.height() / 2);
        EXPECT_GT(lightPixels(c("txt_Preset_Name")->geometry()), 1000);
        EXPECT_EQ(lightPixels({2, 2, 6, 6}), 0);
        d->cmdCancel_Click();
    }
}

} // namespace
