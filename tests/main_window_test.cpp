// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven through real pointer events on the offscreen platform.
#include "model/ElementNames.h"
#include "model/PresetFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"
#include "ui/main/ElementMap.h"
#include "ui/main/FileActions.h"
#include "ui/main/PanelLabel.h"
#include "ui/main/PanelLayout.h"
#include "ui/main/frmMain.h"
#include "vocab/Text.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>

using namespace qob;
using qob::test::centreOf;

namespace {

// Counts the calls into the parts that later issues fill.
class TestWindow : public frmMain {
public:
    using frmMain::frmMain;
    int elementForms = 0, midiForms = 0, sends = 0, portCloses = 0;
    void showElementSetupForm() override { ++elementForms; }
    void showMidiSetupForm() override { ++midiForms; }
    void SendDeviceDump() override { ++sends; }
    void closeMidiPort() override { ++portCloses; }
};

const QPoint kBackground{300, 500}; // the surface's body, outside every region
const QPoint kKeyPoint{5, 5};       // the cut-out corner

class MainWindowTest : public ::testing::Test, public test::DialogAnswers {
protected:
    Preset preset;
    EditorState state;
    std::unique_ptr<TestWindow> w;
    QString answer; // of every file dialog; `asked` keeps its title, then its filter

    void SetUp() override { open(); }

    void open() {
        w = std::make_unique<TestWindow>(preset, state);
        answerDialogs(*w);
        w->seams().askFileName = [this](const QString& title, const QString& filter, bool,
                                        const QString&) {
            asked << title << filter;
            return answer;
        };
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }

    QWindow* win() const { return w->windowHandle(); }
    void hover(QPoint p) { QTest::mouseMove(win(), p); }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(win(), b, {}, p); }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseRelease(win(), b, {}, p);
    }
    void click(QPoint p) { test::clickAt(win(), p); }
    QString text(const char* name) const { return w->findChild<QLabel*>(name)->text(); }
    bool shown(const char* name) const { return w->findChild<QWidget*>(name)->isVisible(); }
    QPoint centreOfWidget(const char* name) const {
        return w->findChild<QWidget*>(name)->geometry().center();
    }
};

TEST(HitTest, RegionEdgesAreOutsideInBothBanks) {
    for (const Region& r : kRegions) {
        if (r.kind == RegionKind::Wheel)
            continue;
        for (const bool shift : {false, true}) {
            const int code = shift ? r.bank2Code : r.bank1Code;
            const float midX = (r.left + r.right) / 2.0f, midY = (r.top + r.bottom) / 2.0f;
            const float l = static_cast<float>(r.left), rt = static_cast<float>(r.right);
            const float t = static_cast<float>(r.top), b = static_cast<float>(r.bottom);
            SCOPED_TRACE(std::string(r.label) + (shift ? " bank 2" : " bank 1"));
            EXPECT_EQ(locateRegion(midX, midY, shift), code); // also: nothing overlaps it
            for (const auto& [x, y] : {std::pair{l, midY}, {rt, midY}, {midX, t}, {midX, b}})
                EXPECT_EQ(locateRegion(x, y, shift), NO_ELEMENT) << x << "," << y;
            EXPECT_EQ(locateRegion(std::nextafter(l, rt), std::nextafter(t, b), shift), code);
            EXPECT_EQ(locateRegion(std::nextafter(rt, l), std::nextafter(b, t), shift), code);
        }
    }
}

TEST(HitTest, KnownPoints) {
    struct Case {
        float x, y;
        int bank1, bank2;
    };
    const Case cases[] = {
        {68, 120, 99, 99},
        {69, 120, 0, 32},
        {109, 120, 99, 99},
        {110, 120, 99, 99},
        {500, 300, 15, 47},
        {560, 300, 16, 16},
        {778, 248, 99, 99},
        {844, 314, 99, 99},
        {778, 249, 31, 31},
        {640, 212, 57, 57},
        {760, 212, 58, 58},
        {790, 212, 99, 99},
        {900, 430, 28, 28},
        {650, 430, 29, 29},
        {10, 10, 99, 99},
        {566, 421, 17, 17},
        {566, 449, 99, 99},
        {90, 436, 18, 48},
        {87, 200, 8, 40},
        {573, 117, 62, 62},
        // Just inside the Wheel's radius along a diagonal, in single precision.
        {778 + 46.66f, 314 + 46.66f, 31, 31},
        {778 + 46.67f, 314 + 46.67f, 99, 99},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(locateRegion(c.x, c.y, false), c.bank1) << c.x << "," << c.y;
        EXPECT_EQ(locateRegion(c.x, c.y, true), c.bank2) << c.x << "," << c.y;
    }
}

TEST(FileActionsTest, DefaultPathAndFilter) {
    EXPECT_EQ(defaultPresetPath("/opt/qob"), "/opt/qob/Default.QOB");
    EXPECT_EQ(defaultPresetPath("/opt/qob/"), "/opt/qob/Default.QOB");
    EXPECT_EQ(defaultPresetPath("/"), "/Default.QOB");
    const std::pair<const char*, const char*> filters[] = {
        {kPresetFileFilter, "QOB TANDRIX Preset File(*.qob)"},
        {"Sheets (*.csv)|*.csv", "Sheets (*.csv)"},
        {"Text|*.txt", "Text (*.txt)"},
        {"Odd(*.a)|*.b", "Odd(*.a) (*.b)"},
        {"Plain", "Plain"},
    };
    for (const auto& [filter, shown] : filters)
        EXPECT_EQ(qtFileFilter(filter), shown) << filter;

    // The dialog shows the text as it is and filters by the one pattern in it.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(qtFileFilter(kPresetFileFilter));
    EXPECT_EQ(dialog.nameFilters(), QStringList{"QOB TANDRIX Preset File(*.qob)"});
    const auto* files = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->nameFilters(), QStringList{"*.qob"});
}

TEST_F(MainWindowTest, HoverShowsEachKindOfRecord) {
    struct Case {
        const char* what;
        int element;
        Layer layer;
        ElementAssignment record;
        const char *type, *data, *explain; // data holds the SysEx text for a SysEx record
    };
    // clang-format off
    const Case cases[] = {
        {"event, DAW", 3, Layer::Daw, {ElementMode::Drawbar, 0xB0, 7, 100, "Vol", {}},
         "Drawbar", " 176, 7, 100", "Vol"},
        {"event, MIDI", 9, Layer::Midi, {0, 0x93, 60, 127, "Mine", {}},
         "Normal", " 147, 60, 127", "Note On"},
        {"nameless program", 16, Layer::Midi, {0, 0xC5, 128, 0, "x", {}},
         "", " 197, 128, 0", ""},
        {"keystroke", 20, Layer::Daw, {ElementMode::Push, 0xFF, 5, 69, "Save", {}},
         "PC Key", "<Ctrl+Alt> <F12>", "Save"},
        {"unknown key", 26, Layer::Midi, {0, 0xFF, 1, 100, "Lbl", {}},
         "PC Key", "", "Lbl"},
        {"SysEx", 31, Layer::Daw, {0, 0xF0, 0x0A, 0x10, "hidden", {0x4C, 0, 0xF7}},
         "SysEx", "0A 10 4C 00 F7", ""},
        {"empty", 0, Layer::Daw, {},
         "Normal", " 0, 0, 0", ""},
        {"bank 2 button", 50, Layer::Midi, {0, 0x90, 1, 2, "", {}},
         "Toggle", " 144, 1, 2", "Note On"},
        {"Windows-1252 and markup", 40, Layer::Daw, {0, 0x80, 0, 0, "<b>\xE9\x80", {}},
         "Normal", " 128, 0, 0", "<b>\u00E9\u20AC"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        preset = Preset{};
        preset.Name = "Row\xB2";
        preset.PresetIndex = 5;
        preset.Elements[c.element].record(c.layer) = c.record;
        state = EditorState{};
        state.CurrentElement = c.element == 0 ? 1 : 0;
        state.ActiveLayer = c.layer;
        state.ChannelShift = c.element >= 32;
        open();
        hover(centreOf(c.element, state.ChannelShift));
        EXPECT_EQ(state.CurrentElement, c.element);
        EXPECT_EQ(text("Label_Element_Name"), QString::fromStdString(elementName(c.element)));
        EXPECT_EQ(text("Label_DAW_MIDI"), c.layer == Layer::Midi ? "MIDI" : "DAW");
        EXPECT_EQ(text("Label_Preset_Name"), "Row\u00B2");
        EXPECT_EQ(text("Label_Index"), "Index :  5");
        EXPECT_EQ(text("Label_Type"), c.type);
        const bool sysex = c.record.Status == kStatusSysEx;
        EXPECT_EQ(shown("Line_M"), !sysex);
        EXPECT_EQ(shown("Label_SysEx"), sysex);
        EXPECT_EQ(shown("Label_Data"), !sysex);
        EXPECT_EQ(shown("Label_Explain"), !sysex);
        EXPECT_EQ(text(sysex ? "Label_SysEx" : "Label_Data"), c.data);
        EXPECT_EQ(text("Label_Explain"), QString::fromUtf8(c.explain)); // never a SysEx's Explain
        for (const PanelLabelLayout& l : kPanelLabels)
            EXPECT_EQ(w->findChild<QLabel*>(l.name)->textFormat(), Qt::PlainText) << l.name;
    }
}

TEST_F(MainWindowTest, HoverOverAreasAndBackgroundKeepsTheElement) {
    hover(centreOf(3));
    for (const QPoint p : {centreOf(AREA_SEND), kBackground, centreOfWidget("Label_Data")}) {
        hover(p);
        EXPECT_EQ(state.CurrentElement, 3);
        EXPECT_EQ(text("Label_Element_Name"), "V Pot  4");
    }
}

TEST_F(MainWindowTest, BankSwitchMovesToThePartnerAndBack) {
    hover(centreOf(20));
    click(centreOf(AREA_SHIFT));
    EXPECT_TRUE(state.ChannelShift);
    EXPECT_EQ(state.CurrentElement, 50);
    EXPECT_EQ(text("Label_Element_Name"), "Button  11");
    EXPECT_TRUE(shown("Pic_Channel_Shift"));
    click({594, 110}); // the part of the SHIFT button the picture leaves free
    EXPECT_EQ(state.CurrentElement, 50);
    click(centreOfWidget("Pic_Channel_Shift"));
    EXPECT_FALSE(state.ChannelShift);
    EXPECT_FALSE(shown("Pic_Channel_Shift"));
    EXPECT_EQ(state.CurrentElement, 20);
    EXPECT_EQ(text("Label_Element_Name"), "Button  3");

    hover(centreOf(31));
    click(centreOf(AREA_SHIFT));
    EXPECT_EQ(state.CurrentElement, 31);
    click(centreOfWidget("Pic_Channel_Shift"));
    EXPECT_EQ(state.CurrentElement, 31);
    EXPECT_EQ(w->elementForms, 0);
}

TEST_F(MainWindowTest, LayerSwitchShowsTheOtherRecord) {
    preset.Elements[20].Daw = {0, 0xB1, 7, 1, "Daw", {}};
    preset.Elements[20].Midi = {0, 0xFF, 0, 66, "Key", {}};
    hover(centreOf(20));
    click(centreOf(AREA_LAYER));
    EXPECT_EQ(state.ActiveLayer, Layer::Midi);
    EXPECT_TRUE(shown("Pic_Select"));
    EXPECT_EQ(text("Label_DAW_MIDI"), "MIDI");
    EXPECT_EQ(text("Label_Type"), "PC Key");
    EXPECT_EQ(text("Label_Data"), "<F9>");
    click(centreOfWidget("Pic_Select"));
    EXPECT_EQ(state.ActiveLayer, Layer::Daw);
    EXPECT_FALSE(shown("Pic_Select"));
    EXPECT_EQ(text("Label_Type"), "Toggle");
    EXPECT_EQ(text("Label_Explain"), "Daw");
}

TEST_F(MainWindowTest, OpenDialogBlocksPressesAndHoverButNotThePictures) {
    click(centreOf(AREA_SHIFT));
    click(centreOf(40, true)); // Fader 9, where Fader 1 is in bank 1
    EXPECT_TRUE(state.DialogOpen);
    EXPECT_EQ(state.CurrentElement, 40);
    EXPECT_EQ(w->elementForms, 1);
    EXPECT_EQ(text("Label_Element_Name"), "Fader  9");

    const QPoint origin = w->pos();
    hover(centreOf(35, true));
    click(centreOf(35, true));
    press(kBackground);
    hover(kBackground + QPoint(40, 0));
    release(kBackground + QPoint(40, 0));
    EXPECT_EQ(state.CurrentElement, 40);
    EXPECT_EQ(w->elementForms, 1);
    EXPECT_EQ(w->pos(), origin);

    // What the dialog's OK does; the next move over the window shows it.
    preset.Elements[40].Daw.Mode = ElementMode::Drawbar;
    state.PanelRefreshPending = true;
    hover(centreOf(37, true));
    EXPECT_FALSE(state.PanelRefreshPending);
    EXPECT_EQ(text("Label_Type"), "Drawbar");
    EXPECT_EQ(state.CurrentElement, 40);

    click(centreOfWidget("Pic_Channel_Shift"));
    EXPECT_EQ(state.CurrentElement, 8);
    EXPECT_TRUE(state.DialogOpen);
}

TEST_F(MainWindowTest, RightAndMiddleButtonsDoNothing) {
    const QPoint origin = w->pos();
    for (const Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
        for (const QPoint p :
             {centreOf(5), centreOf(AREA_SHIFT), centreOf(AREA_SEND), kBackground}) {
            press(p, b);
            QTest::mouseMove(win(), p + QPoint(20, 10));
            release(p + QPoint(20, 10), b);
        }
    }
    EXPECT_EQ(w->pos(), origin);
    EXPECT_FALSE(state.DialogOpen);
    EXPECT_FALSE(state.ChannelShift);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(w->elementForms, 0);
}

TEST_F(MainWindowTest, BackgroundPressDragsLabelsAndKeyColourDoNot) {
    const QPoint origin = w->pos();
    press(kBackground);
    hover(kBackground + QPoint(30, 20));
    EXPECT_EQ(w->pos(), origin + QPoint(30, 20));
    release(kBackground);                // the pointer is where it was on the moved window
    hover(kBackground + QPoint(60, 20)); // released: the window stays
    EXPECT_EQ(w->pos(), origin + QPoint(30, 20));

    ASSERT_TRUE(w->isKeyColoured(kKeyPoint));
    ASSERT_FALSE(w->isKeyColoured(kBackground));
    for (const QPoint p : {centreOfWidget("Label_Preset_Name"), kKeyPoint}) {
        const QPoint before = w->pos();
        state.PanelRefreshPending = true;
        hover(p); // reaches no Form_MouseMove, so no redraw
        EXPECT_TRUE(state.PanelRefreshPending);
        press(p);
        hover(p + QPoint(8, 3));
        release(p + QPoint(8, 3));
        EXPECT_EQ(w->pos(), before);
    }
}

TEST_F(MainWindowTest, OpenRedrawsAtOnceAndABadFileChangesNothing) {
    QTemporaryDir dir;
    Preset other;
    other.Name = "Opened";
    other.Elements[0].Daw = {0, 0x90, 1, 2, "Loaded", {}};
    ASSERT_TRUE(savePresetFile(dir.filePath("good.qob"), other).ok);
    QFile bad(dir.filePath("bad.qob"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("\"* : QOB-TANDRIX V1.0\"\r\n\"* : Nonsense\"\r\n");
    bad.close();

    w->startUp(dir.path()); // no default there
    messages.clear();
    preset.PresetIndex = 3;
    answer = dir.filePath("good.qob");
    click(centreOf(AREA_OPEN));
    EXPECT_EQ(asked, QStringList({"Open", "QOB TANDRIX Preset File(*.qob)"}));
    EXPECT_EQ(text("Label_Preset_Name"), "Opened");
    EXPECT_EQ(text("Label_Explain"), "Loaded");
    EXPECT_EQ(text("Label_Index"), "Index :  3");
    EXPECT_TRUE(messages.isEmpty());

    const Preset before = preset;
    answer = dir.filePath("bad.qob");
    click(centreOf(AREA_OPEN));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], kInvalidPresetText);
    EXPECT_TRUE(messages[1].contains("bad.qob")) << messages[1].toStdString();
    EXPECT_EQ(preset, before);

    answer.clear();
    click(centreOf(AREA_OPEN));
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(preset, before);
}

TEST_F(MainWindowTest, SaveAsWritesTheNameAsGivenAndReportsFailures) {
    QTemporaryDir dir;
    preset.Name = "Saved";
    const Preset before = preset;
    click(centreOf(AREA_SAVE_AS)); // cancelled
    EXPECT_EQ(asked, QStringList({"Save As", "QOB TANDRIX Preset File(*.qob)"}));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    answer = dir.filePath("plain");
    click(centreOf(AREA_SAVE_AS));
    EXPECT_TRUE(QFile::exists(answer));
    EXPECT_TRUE(messages.isEmpty());

    answer = dir.filePath("missing/x.qob");
    click(centreOf(AREA_SAVE_AS));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_FALSE(messages[0].isEmpty());
    EXPECT_TRUE(messages[1].startsWith(answer + ": ")) << messages[1].toStdString();
    EXPECT_GT(messages[1].size(), answer.size() + 2); // the reason follows the path
    EXPECT_FALSE(QFile::exists(answer));
    EXPECT_EQ(preset, before);

    // A file that even root cannot replace stays as it was.
    QFile procFile("/proc/version");
    if (!procFile.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no /proc";
    const QByteArray original = procFile.readAll();
    procFile.close();
    answer = procFile.fileName();
    click(centreOf(AREA_SAVE_AS));
    EXPECT_EQ(messages.size(), 4);
    ASSERT_TRUE(procFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(procFile.readAll(), original);
}

TEST_F(MainWindowTest, OpenAndSaveAsTakeAnyNameAndRefuseFolders) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QString::fromUtf8("x y/\u00FC 'q'"));
    ASSERT_TRUE(QDir().mkpath(folder));
    preset.Name = "Odd names";
    const Preset saved = preset;
    for (const QString& name :
         {QString("with blanks.qob"), QString("Pr\u00E4set \u00FC.qob"),
          QString("\u30D7\u30EA\u30BB\u30C3\u30C8.qob"), QString("say \"hi\".qob")}) {
        SCOPED_TRACE(name.toStdString());
        answer = folder + '/' + name;
        preset = saved;
        click(centreOf(AREA_SAVE_AS));
        EXPECT_TRUE(QFileInfo(answer).isFile());
        preset = Preset{};
        click(centreOf(AREA_OPEN));
        EXPECT_EQ(text("Label_Preset_Name"), "Odd names");
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    }

    // A folder given as the file: the reason follows the path, and nothing changes.
    const Preset before = preset;
    answer = folder;
    click(centreOf(AREA_OPEN));
    click(centreOf(AREA_SAVE_AS));
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[0], kInvalidPresetText);
    EXPECT_EQ(messages[1], folder + ": is a folder");
    EXPECT_EQ(messages[3], folder + ": is a folder");
    EXPECT_EQ(preset, before);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
              4);

    // The same names on the command line, with no locale set: loads (no message), or says
    // which file failed, in UTF-8.
    const QProcessEnvironment env = test::withoutLocale();
    const QString bad = folder + "/bad \"\u00FC\".qob";
    test::writeBytes(bad, "not a preset");
    QProcess editor;
    editor.setProcessEnvironment(env);
    for (const QString& file : {folder + "/say \"hi\".qob", bad}) {
        SCOPED_TRACE(file.toStdString());
        editor.start(QOB_EDITOR, {file, "--screenshot", dir.filePath("shot.png")});
        ASSERT_TRUE(editor.waitForFinished(30000));
        EXPECT_EQ(editor.exitCode(), 0);
        const QString err = QString::fromUtf8(editor.readAllStandardError());
        EXPECT_EQ(err.contains(kInvalidPresetText), file == bad) << err.toStdString();
        if (file == bad) {
            EXPECT_TRUE(err.contains(bad + ": line 1:")) << err.toStdString();
        }
    }

    // A name that is not UTF-8 reaches Qt changed, so it is not found; said so, no crash.
    QProcess sh;
    sh.setWorkingDirectory(dir.path());
    // Qt cannot name the file to remove it either: the shell does.
    sh.start("/bin/sh", {"-c",
                         "f=\"$(printf 'bad\\377.qob')\"; printf x > \"$f\"; "
                         "\"$0\" \"$f\" --screenshot shot.png; rc=$?; rm -f \"$f\"; exit $rc",
                         QOB_EDITOR});
    ASSERT_TRUE(sh.waitForFinished(30000));
    EXPECT_EQ(sh.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sh.exitCode(), 0);
    const QString err = QString::fromUtf8(sh.readAllStandardError());
    EXPECT_TRUE(err.contains(QString::fromUtf8("bad\uFFFD.qob: No such file or directory")))
        << err.toStdString();
}

TEST_F(MainWindowTest, SendMidiDeviceAndExit) {
    click(centreOf(AREA_SEND));
    EXPECT_EQ(messages, QStringList({"No MIDI Device ! Please Click <MIDI DEVICE>", ""}));
    EXPECT_EQ(w->sends, 0);
    state.MidiPortChosen = true;
    click(centreOf(AREA_SEND));
    EXPECT_EQ(w->sends, 1);
    EXPECT_EQ(messages.size(), 2);
    click(centreOf(AREA_MIDI_DEVICE));
    EXPECT_EQ(w->midiForms, 1);

    click(centreOf(AREA_EXIT));
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(w->portCloses, 1);
    w->close(); // the exit does not run the close-down a second time
    EXPECT_EQ(w->portCloses, 1);

    state.MidiPortChosen = false;
    open();
    click(centreOf(AREA_EXIT));
    EXPECT_EQ(w->portCloses, 0);

    state.MidiPortChosen = true;
    open();
    w->close(); // through the system
    EXPECT_EQ(w->portCloses, 1);
}

TEST_F(MainWindowTest, StartUpWithoutDefaultShowsTheMessageOnceThenElementZero) {
    state.ChannelShift = true;
    state.ActiveLayer = Layer::Midi;
    state.DialogOpen = true;
    state.CurrentElement = 9;
    preset.PresetIndex = 4;
    QTemporaryDir dir;
    w->startUp(dir.path());
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], kInvalidPresetText);
    EXPECT_EQ(state.CurrentElement, 0);
    EXPECT_FALSE(state.DialogOpen);
    EXPECT_EQ(text("Label_Element_Name"), "V Pot  1");
    EXPECT_EQ(text("Label_DAW_MIDI"), "DAW");
    EXPECT_EQ(text("Label_Preset_Name"), "");
    EXPECT_EQ(text("Label_Index"), "Index :  1");
    EXPECT_FALSE(shown("Pic_Channel_Shift"));
    EXPECT_FALSE(shown("Pic_Select"));

    ASSERT_TRUE(QFile::copy(test::kDefault, dir.filePath("Default.QOB")));
    preset = Preset{};
    messages.clear();
    open();
    w->startUp(dir.path() + "/");
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(text("Label_Preset_Name"), "Mix Default");
}

// What a panel label draws stays inside the Part's width less the indent on both sides, and is
// either the whole text or a start of it cut between letters, with "…".
enum class Shown { Whole, Condensed, Elided };
Shown expectFits(const PanelLabel* label, const PanelLabelLayout& layout, const QString& context) {
    const PanelLabel::Fit fit = label->fitted();
    const int room = layout.rect.width() - 2 * kPanelTextIndent;
    QFont font = label->font();
    font.setStretch(fit.stretch);
    EXPECT_LE(QFontMetrics(font).horizontalAdvance(fit.text), room) << context.toStdString();
    EXPECT_GE(fit.stretch, PanelLabel::kMinStretch) << context.toStdString();
    EXPECT_LE(fit.stretch, 100) << context.toStdString();
    if (fit.text == label->text())
        return fit.stretch == 100 ? Shown::Whole : Shown::Condensed;
    EXPECT_TRUE(fit.text.endsWith(QChar(0x2026))) << context.toStdString();
    EXPECT_TRUE(label->text().startsWith(fit.text.chopped(1))) << context.toStdString();
    EXPECT_EQ(fit.stretch, PanelLabel::kMinStretch) << context.toStdString(); // condensed first
    return Shown::Elided;
}

TEST_F(MainWindowTest, EveryTextOfTheDefaultPresetFitsItsLabelWhole) {
    w->startUp(QFileInfo(test::kDefault).path());
    ASSERT_TRUE(messages.isEmpty());
    int condensed = 0;
    for (const Layer layer : {Layer::Daw, Layer::Midi})
        for (int element = 0; element < kElementCount; ++element) {
            state.ActiveLayer = layer;
            state.CurrentElement = static_cast<std::int16_t>(element);
            w->Display_Current_Element();
            for (const PanelLabelLayout& layout : kPanelLabels) {
                const auto* label = w->findChild<PanelLabel*>(layout.name);
                ASSERT_NE(label, nullptr) << layout.name;
                ASSERT_EQ(label->geometry(), layout.rect) << layout.name;
                if (!label->isVisible())
                    continue;
                const QString context = QStringLiteral("%1 in %2, element %3: \"%4\"")
                                            .arg(layout.name)
                                            .arg(layer == Layer::Midi ? "MIDI" : "DAW")
                                            .arg(element)
                                            .arg(label->text());
                const Shown shown = expectFits(label, layout, context);
                EXPECT_NE(shown, Shown::Elided) << context.toStdString();
                condensed += shown == Shown::Condensed;
            }
        }
    EXPECT_GT(condensed, 0); // the check above saw the hard cases

    // The text that used to lose its last letter.
    state.ActiveLayer = Layer::Midi;
    state.CurrentElement = 17;
    w->Display_Current_Element();
    EXPECT_EQ(text("Label_Element_Name"), "Breath Control");
    const auto* explain = w->findChild<PanelLabel*>("Label_Explain");
    EXPECT_EQ(explain->fitted().text, "Channel AfterTouch");
    EXPECT_LT(explain->fitted().stretch, 100);
}

TEST_F(MainWindowTest, TheLongestTextsOfEachLabelAreCondensedThenElidedNeverCut) {
    // Every name the tables can put into Label_Explain reads whole.
    QStringList names;
    for (int n = 0; n < 128; ++n)
        names << QString::fromLatin1(ControllerName(n)) << QString::fromLatin1(ProgramName(n));
    for (const int status : {0x80, 0x90, 0xA0, 0xD0, 0xE0})
        names << QString::fromLatin1(EventTypeName(static_cast<std::uint8_t>(status)));
    QStringList elementNames;
    for (int element = 0; element < kElementCount; ++element)
        elementNames << QString::fromStdString(elementName(element));

    struct Case {
        const char* label;
        QStringList texts;
        Shown expected; // for the last text of the list, the longest
    };
    const Case cases[] = {
        {"Label_Element_Name", elementNames, Shown::Whole},
        {"Label_Type", {"PC Key", "SysEx", "Normal", "Drawbar", "Push", "Toggle"}, Shown::Whole},
        {"Label_Data",
         {" 255, 255, 255", "<Shift+Alt> <F12>", "<Ctr+Shift+Alt><Space>"},
         Shown::Elided},
        // Eight letters in the dialog; a file may hold any length.
        {"Label_Explain", names + QStringList{"WWWWWWWW", "A label written by another tool"},
         Shown::Elided},
        {"Label_SysEx",
         {"FF FF FF FF FF FF FF FF FF FF F7", "Send failed at block 192/192"},
         Shown::Whole},
        {"Label_DAW_MIDI", {"DAW", "MIDI"}, Shown::Whole},
        {"Label_Preset_Name", {"Mix Default", "mmmmmmmmmmm", "WWWWWWWWWWW"}, Shown::Elided},
        {"Label_Index", {"Index :  8", "Index :  888", "Index : -32768"}, Shown::Elided},
    };
    for (const Case& c : cases) {
        const PanelLabelLayout* layout = nullptr;
        for (const PanelLabelLayout& l : kPanelLabels)
            if (QLatin1String(l.name) == QLatin1String(c.label))
                layout = &l;
        ASSERT_NE(layout, nullptr) << c.label;
        auto* label = w->findChild<PanelLabel*>(c.label);
        label->show();
        Shown last = Shown::Whole;
        for (const QString& t : c.texts) {
            label->setText(t);
            last = expectFits(label, *layout, QStringLiteral("%1: \"%2\"").arg(c.label, t));
            if (&t != &c.texts.last()) {
                EXPECT_NE(last, Shown::Elided) << c.label << ": " << t.toStdString();
            }
        }
        EXPECT_EQ(last, c.expected) << c.label;

        // What is painted matches: the indent on the right stays the field's colour.
        const QImage drawn = label->grab().toImage();
        for (int x = drawn.width() - kPanelTextIndent; x < drawn.width(); ++x)
            for (int y = 0; y < drawn.height(); ++y)
                ASSERT_EQ(drawn.pixelColor(x, y), QColor(128, 128, 255))
                    << c.label << " at " << x << "," << y;
    }
}

TEST_F(MainWindowTest, LitPicturesArePainted) {
    const auto litAt = [this](const char* name) {
        const QImage shot = w->screenshot();
        return qGray(shot.pixel(w->findChild<QWidget*>(name)->geometry().center() *
                                w->devicePixelRatio())) > 150;
    };
    EXPECT_FALSE(litAt("Pic_Select"));
    EXPECT_FALSE(litAt("Pic_Channel_Shift"));
    press(centreOf(AREA_LAYER));
    press(centreOf(AREA_SHIFT));
    EXPECT_TRUE(litAt("Pic_Select"));
    EXPECT_TRUE(litAt("Pic_Channel_Shift"));
    EXPECT_EQ(w->findChild<QLabel*>("Pic_Select")->pixmap().cacheKey(),
              w->findChild<QLabel*>("Pic_Channel_Shift")->pixmap().cacheKey())
        << "one drawing for both";
}

TEST_F(MainWindowTest, ScreenshotCutsOutTheKeyColour) {
    EXPECT_FALSE(w->mask().contains(kKeyPoint)); // the window system cuts it out
    EXPECT_TRUE(w->mask().contains(kBackground));
    const QImage shot = w->screenshot();
    EXPECT_EQ(shot.size(), QSize(kWindowWidth, kWindowHeight) * w->devicePixelRatio());
    EXPECT_EQ(qAlpha(shot.pixel(kKeyPoint)), 0);
    EXPECT_EQ(qAlpha(shot.pixel(kBackground)), 255);
    const QRect index = w->findChild<QWidget*>("Label_Index")->geometry();
    EXPECT_EQ(shot.pixelColor(index.bottomRight() - QPoint(1, 0)), QColor(128, 128, 255));

    QTemporaryDir dir;
    QProcess editor;
    editor.start(QOB_EDITOR, {"--screenshot", dir.filePath("shot.png")});
    ASSERT_TRUE(editor.waitForFinished(30000));
    EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().toStdString();
    const QImage written(dir.filePath("shot.png"));
    EXPECT_EQ(written.size(), QSize(kWindowWidth, kWindowHeight));
    EXPECT_EQ(qAlpha(written.pixel(kKeyPoint)), 0);

    editor.start(QOB_EDITOR, {"--screenshot", dir.filePath("missing/shot.png")});
    ASSERT_TRUE(editor.waitForFinished(30000));
    EXPECT_NE(editor.exitCode(), 0);
    EXPECT_FALSE(editor.readAllStandardError().isEmpty());

    // Away from its Default.QOB, and given a bad file: the messages go to stderr, nothing waits.
    const QString lonely = dir.filePath("qob-editor");
    ASSERT_TRUE(QFile::copy(QOB_EDITOR, lonely));
    editor.start(lonely, {"--screenshot", dir.filePath("lonely.png"), dir.filePath("shot.png")});
    ASSERT_TRUE(editor.waitForFinished(30000));
    EXPECT_EQ(editor.exitCode(), 0);
    EXPECT_EQ(QString(editor.readAllStandardError()).count(kInvalidPresetText), 2);
    EXPECT_TRUE(QFile::exists(dir.filePath("lonely.png")));
}

} // namespace
