// SPDX-License-Identifier: GPL-3.0-or-later
// Editing without losing work: the document's modified state and history, the question before
// edits are lost, Save and Save As, copy and paste, fill a row, keys, dropped files, the title.
#include "device/DeviceDump.h"
#include "model/Cp1252.h"
#include "model/PresetFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"
#include "ui/assign/ElementSetupForm.h"
#include "ui/main/ElementMap.h"
#include "ui/main/PresetDocument.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace qob;

namespace {

const QString kTitleEnd = QStringLiteral(" \u2014 QOB-TANDRIX Editor");

class EditingTest : public ::testing::Test, public test::DialogAnswers {
public: // the tables of ways below reach in
    QTemporaryDir dir;
    Preset preset;
    EditorState state;
    std::unique_ptr<frmMain> w;
    PresetDocument* doc = nullptr; // the window's
    // `asked` keeps each file dialog's title, then its proposed start.
    QStringList fileAnswers;   // taken one per file dialog; none left: cancelled
    QList<SaveAnswer> answers; // taken one per question
    QStringList questions;     // the file names asked about

    void SetUp() override {
        ASSERT_TRUE(QFile::copy(test::kDefault, path("Default.QOB")));
        open();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    void open() {
        w.reset();
        ends = 0;
        fileAnswers.clear();
        preset = Preset{};
        state = EditorState{};
        w = std::make_unique<frmMain>(preset, state);
        doc = &w->document();
        answerDialogs(*w);
        w->seams().askFileName = [this](const QString& title, const QString&, bool,
                                        const QString& start) {
            asked << title << start;
            return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
        };
        w->seams().askSaveChanges = [this](const QString& name) {
            questions << name;
            return answers.isEmpty() ? SaveAnswer::Cancel : answers.takeFirst();
        };
        w->startUp(dir.path());
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }

    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::ControlModifier) {
        // Back from a dialog, as the window manager does.
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == w.get(); }));
        QTest::keyClick(w.get(), k, m);
    }
    void hover(int code) { QTest::mouseMove(w->windowHandle(), test::centreOf(code)); }
    void click(int code) { test::clickAt(w->windowHandle(), test::centreOf(code)); }
    QString panel(const char* name) const { return w->findChild<QLabel*>(name)->text(); }

    // Through the Element Assign dialog, as a user would: type into a field, OK.
    void assignLabel(int element, const QString& label, const char* field = "txt_Explain") {
        click(element);
        auto* form = w->findChild<ElementSetupForm*>();
        auto* edit = form->findChild<QLineEdit*>(QString::fromLatin1(field));
        edit->selectAll();
        QTest::keyClicks(edit, label);
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    }
    // An edit without the dialog, for the tests about what comes after it.
    void edit() {
        preset.Elements[0].Daw.Explain = "Edited";
        ASSERT_TRUE(doc->commit(QStringLiteral("edit")));
    }
    void drop(const QStringList& files) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 500), Qt::CopyAction, &mime, Qt::NoButton, {});
        QApplication::sendEvent(w.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(300, 500), Qt::CopyAction, &mime, Qt::NoButton, {});
        QApplication::sendEvent(w.get(), &dropped);
        QCoreApplication::processEvents();
    }
    void saveAs(const QString& name) {
        fileAnswers << path(name);
        key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    }
};

TEST_F(EditingTest, DialogEditsUndoRedoAndTheModifiedTitle) {
    EXPECT_EQ(w->windowTitle(), "Mix Default" + kTitleEnd);
    hover(0);
    EXPECT_EQ(panel("Label_Explain"), "Pan 1");
    assignLabel(0, "Wide");
    EXPECT_EQ(preset.Elements[0].Daw.Explain, "Wide");
    EXPECT_EQ(panel("Label_Explain"), "Wide");
    EXPECT_TRUE(doc->isModified());
    EXPECT_EQ(w->windowTitle(), "*Mix Default" + kTitleEnd);

    assignLabel(0, "Wider");
    key(Qt::Key_Z);
    EXPECT_EQ(panel("Label_Explain"), "Wide"); // at once, without a pointer move
    key(Qt::Key_Z);
    EXPECT_EQ(preset.Elements[0].Daw.Explain, "Pan 1");
    EXPECT_FALSE(doc->isModified()); // back where the file was
    EXPECT_EQ(w->windowTitle(), "Mix Default" + kTitleEnd);
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(panel("Label_Explain"), "Wide");
    key(Qt::Key_Y);
    EXPECT_EQ(preset.Elements[0].Daw.Explain, "Wider");
    EXPECT_TRUE(doc->isModified());

    // An OK that changes nothing makes no step; the index is a step but no file holds it.
    const int steps = doc->undoStack().count();
    assignLabel(0, "Wider");
    EXPECT_EQ(doc->undoStack().count(), steps);
    saveAs("mine.qob");
    preset.PresetIndex = 4;
    EXPECT_TRUE(doc->commit(QStringLiteral("index")));
    EXPECT_FALSE(doc->isModified());
    key(Qt::Key_Z);
    EXPECT_EQ(preset.PresetIndex, 1);
    EXPECT_EQ(panel("Label_Index"), "Index :  1");

    assignLabel(3, "Renamed", "txt_Preset_Name");
    EXPECT_EQ(panel("Label_Preset_Name"), "Renamed");
    EXPECT_TRUE(doc->isModified());
    key(Qt::Key_Z);
    EXPECT_EQ(panel("Label_Preset_Name"), "Mix Default");
    EXPECT_FALSE(doc->isModified());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(EditingTest, EveryWayOfLosingEditsAsksAndEachAnswerDoesWhatItSays) {
    Preset other;
    other.Name = "Other";
    ASSERT_TRUE(savePresetFile(path("other.qob"), other).ok);
    const std::string mineBefore = writePreset(preset);

    struct Way {
        const char* name;
        std::function<void(EditingTest&)> run;
        std::function<bool(EditingTest&)> went; // the action went ahead
    };
    const auto opened = [](EditingTest& t) { return t.preset.Name == "Other"; };
    const Way ways[] = {
        {"Ctrl+Q", [](EditingTest& t) { t.key(Qt::Key_Q); },
         [](EditingTest& t) { return t.ends == 1; }},
        {"EXIT", [](EditingTest& t) { t.click(AREA_EXIT); },
         [](EditingTest& t) { return t.ends == 1; }},
        {"close", [](EditingTest& t) { t.w->close(); },
         [](EditingTest& t) { return !t.w->isVisible(); }},
        {"Ctrl+O",
         [](EditingTest& t) {
             t.fileAnswers = {t.path("other.qob")};
             t.key(Qt::Key_O);
         },
         opened},
        {"OPEN",
         [](EditingTest& t) {
             t.fileAnswers = {t.path("other.qob")};
             t.click(AREA_OPEN);
         },
         opened},
        {"drop", [](EditingTest& t) { t.drop({t.path("other.qob")}); }, opened},
    };
    for (const Way& way : ways) {
        for (const SaveAnswer answer :
             {SaveAnswer::Cancel, SaveAnswer::Discard, SaveAnswer::Save}) {
            SCOPED_TRACE(std::string(way.name) + " " + std::to_string(int(answer)));
            test::writeBytes(path("mine.qob"), mineBefore);
            open();
            w->files().openPresetPath(path("mine.qob"));
            edit();
            questions.clear();
            answers = {answer};
            way.run(*this);
            EXPECT_EQ(questions, QStringList({"mine.qob"}));
            EXPECT_EQ(way.went(*this), answer != SaveAnswer::Cancel);
            const bool saved = test::bytesOf(path("mine.qob")) != mineBefore;
            EXPECT_EQ(saved, answer == SaveAnswer::Save);
            if (answer == SaveAnswer::Cancel) {
                EXPECT_EQ(preset.Elements[0].Daw.Explain, "Edited");
                EXPECT_TRUE(doc->isModified());
            }
        }
        // Nothing to lose: no question.
        open();
        questions.clear();
        fileAnswers = {path("other.qob")};
        way.run(*this);
        EXPECT_TRUE(questions.isEmpty()) << way.name;
        EXPECT_TRUE(way.went(*this)) << way.name;
    }

    // Save with no file yet is Save As; cancelling that keeps everything.
    open();
    edit();
    answers = {SaveAnswer::Save};
    key(Qt::Key_Q);
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(asked.value(asked.size() - 2), "Save As");
    EXPECT_EQ(preset.Elements[0].Daw.Explain, "Edited");
}

TEST_F(EditingTest, SaveWritesTheCurrentFileButNeverTheDefaultPreset) {
    const std::string defaultBytes = test::bytesOf(path("Default.QOB"));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    edit();
    key(Qt::Key_S); // no current file: Save As, proposing the documents folder and preset name
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0], "Save As");
    EXPECT_EQ(
        asked[1],
        QDir(QDir(documents).exists() ? documents : QDir::homePath()).filePath("Mix Default.qob"));
    EXPECT_TRUE(doc->isModified()); // cancelled

    saveAs("mine.qob");
    EXPECT_FALSE(doc->isModified());
    EXPECT_EQ(w->windowTitle(), "mine.qob" + kTitleEnd);
    preset.Elements[1].Daw.Explain = "Second";
    doc->commit(QStringLiteral("edit"));
    asked.clear();
    key(Qt::Key_S);
    EXPECT_TRUE(asked.isEmpty()); // written without a dialog
    EXPECT_NE(test::bytesOf(path("mine.qob")).find("Second"), std::string::npos);
    key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(asked, QStringList({"Save As", path("mine.qob")}));

    // Opened on purpose, the default preset is still not Save's to write.
    w->files().openPresetPath(path("Default.QOB"));
    EXPECT_EQ(doc->undoStack().count(), 0); // a fresh history
    EXPECT_EQ(w->windowTitle(), "Mix Default" + kTitleEnd);
    edit();
    asked.clear();
    key(Qt::Key_S);
    EXPECT_EQ(asked.value(0), "Save As");
    EXPECT_EQ(test::bytesOf(path("Default.QOB")), defaultBytes);

    // A failed save says so and keeps the edits marked.
    saveAs("missing/x.qob");
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "Couldn't save QOB-TANDRIX Preset File!");
    EXPECT_TRUE(doc->isModified());
}

// Save replaces the content, not what the file is: its mode, owner, group and other names stay.
TEST_F(EditingTest, SaveKeepsModeOwnerAndOtherNames) {
    const QByteArray file = QFile::encodeName(path("shared.qob"));
    const QByteArray other = QFile::encodeName(path("other name.qob"));
    ASSERT_TRUE(savePresetFile(path("shared.qob"), preset).ok);
    ASSERT_EQ(::chmod(file.constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.constData(), 1234, 4321), 0);
    }
    ASSERT_EQ(::link(file.constData(), other.constData()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(file.constData(), &before), 0);

    w->files().openPresetPath(path("shared.qob"));
    edit();
    key(Qt::Key_S);
    EXPECT_FALSE(doc->isModified());
    struct stat after {};
    ASSERT_EQ(::stat(file.constData(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_NE(test::bytesOf(path("other name.qob")).find("Edited"), std::string::npos);

    // A file without a write bit is refused, for root too, and keeps its content.
    ASSERT_EQ(::chmod(file.constData(), 0444), 0);
    const std::string kept = test::bytesOf(path("shared.qob"));
    preset.Elements[2].Daw.Explain = "Again";
    doc->commit(QStringLiteral("edit"));
    key(Qt::Key_S);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains("is read-only")) << messages[1].toStdString();
    EXPECT_EQ(test::bytesOf(path("shared.qob")), kept);
    EXPECT_TRUE(doc->isModified());
}

TEST_F(EditingTest, CopyPasteAndFillAreOneStepEachAndRefusalsChangeNothing) {
    hover(0);
    key(Qt::Key_C);
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(copied, fromCp1252(writeRecord(0, Layer::Daw, preset.Elements[0].Daw)));
    EXPECT_TRUE(copied.startsWith("\"* : V_Pot  1\"\r\n\"** : DAW\"\r\n"));
    hover(9);
    const ElementAssignment fader2 = preset.Elements[9].Daw;
    key(Qt::Key_V);
    EXPECT_EQ(preset.Elements[9].Daw, preset.Elements[0].Daw);
    EXPECT_EQ(panel("Label_Explain"), "Pan 1");
    EXPECT_TRUE(doc->isModified());
    key(Qt::Key_Z);
    EXPECT_EQ(preset.Elements[9].Daw, fader2);
    EXPECT_FALSE(doc->isModified());

    const Preset before = preset;
    const int steps = doc->undoStack().count();
    for (const QString& text : {QString("\"** : MIDI\"\r\n0\r\n255,1,4\r\n\"Key\"\r\n"),
                                QString("no record"), QString("0\r\n144,1,2\r\n\"\u4E2D\"\r\n")}) {
        messages.clear();
        QGuiApplication::clipboard()->setText(text);
        key(Qt::Key_V);
        EXPECT_EQ(messages.size(), 2) << text.toStdString();
        EXPECT_EQ(preset, before);
        EXPECT_EQ(doc->undoStack().count(), steps);
    }

    // Fill: Fader 1 to all 16, one step back.
    preset.Elements[8].Daw = {0, 0xB0, 20, 0, "Vol 1", {}};
    doc->commit(QStringLiteral("setup"));
    hover(8);
    key(Qt::Key_R);
    EXPECT_EQ(preset.Elements[47].Daw.Data1, 35);
    EXPECT_EQ(preset.Elements[47].Daw.Explain, "Vol 16");
    key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(preset.Elements[47].Daw.Status, 0xBF);
    key(Qt::Key_Z);
    key(Qt::Key_Z);
    EXPECT_EQ(preset.Elements[47].Daw, before.Elements[47].Daw);
    messages.clear();
    hover(16); // the Fader Master has no row
    key(Qt::Key_R);
    EXPECT_EQ(messages.value(0), "Can't fill a row from Fader Master.");
}

TEST_F(EditingTest, DropsOpenOnePresetAndExplainTheRest) {
    Preset other;
    other.Name = "Dropped";
    ASSERT_TRUE(savePresetFile(path("drop.QOB"), other).ok);
    test::writeBytes(path("notes.txt"), "x");
    drop({path("notes.txt")});
    drop({path("drop.QOB"), path("notes.txt")});
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[0], "Only a .qob or .syx file can be dropped here.");
    EXPECT_EQ(messages[1], path("notes.txt"));
    EXPECT_EQ(messages[2], "Drop one file at a time.");
    EXPECT_EQ(preset.Name, "Mix Default");
    drop({path("drop.QOB")});
    EXPECT_EQ(panel("Label_Preset_Name"), "Dropped");
    EXPECT_EQ(w->windowTitle(), "drop.QOB" + kTitleEnd);
    EXPECT_EQ(messages.size(), 4);

    // Not under the open Element Assign dialog.
    click(3);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path("drop.QOB"))});
    QDragEnterEvent enter(QPoint(300, 500), Qt::CopyAction, &mime, Qt::NoButton, {});
    QApplication::sendEvent(w.get(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

// A capture of a transfer reads back as an unsaved preset with the dump's slot; a broken one
// changes nothing.
TEST_F(EditingTest, DroppedDumpReadsThePresetBack) {
    Preset sent = preset;
    sent.Name = "From Dump";
    sent.Elements[3].Daw.Explain = "Pan X";
    std::string syx;
    for (const DumpBlock& block : makeDumpBlocks(*BuildDeviceDump(sent).image, 5))
        syx.append(reinterpret_cast<const char*>(block.data()), block.size());
    test::writeBytes(path("capture.SYX"), syx);
    test::writeBytes(path("broken.syx"), syx.substr(0, syx.size() - 20));

    drop({path("broken.syx")});
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "No preset could be read from this dump.");
    EXPECT_EQ(preset.Name, "Mix Default");

    messages.clear();
    drop({path("capture.SYX")});
    EXPECT_EQ(panel("Label_Preset_Name"), "From Dump");
    EXPECT_EQ(preset.PresetIndex, 5);
    EXPECT_EQ(preset.Elements[3].Daw.Explain, "Pan X");
    EXPECT_TRUE(doc->isModified());
    EXPECT_EQ(doc->currentFile(), QString());
    EXPECT_EQ(w->windowTitle(), "*From Dump" + kTitleEnd);
    // What the dump could not carry is said, not hidden.
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains("capture.SYX"));

    // Not lost unasked: the next drop asks first, and Cancel keeps it.
    drop({path("broken.syx")});
    EXPECT_EQ(questions, QStringList{"From Dump"});
    EXPECT_EQ(preset.Name, "From Dump");
}

TEST_F(EditingTest, KeysEscAndTheHelp) {
    // Every key is an action of the window, and F1 lists each of them.
    key(Qt::Key_F1, Qt::NoModifier);
    ASSERT_EQ(messages.size(), 2);
    const QString help = messages[1];
    const QList<QAction*> actions = w->actions();
    EXPECT_GE(actions.size(), 11);
    for (const QAction* a : actions) {
        ASSERT_FALSE(a->shortcuts().isEmpty()) << a->objectName().toStdString();
        for (const QKeySequence& k : a->shortcuts())
            EXPECT_TRUE(help.contains(k.toString(QKeySequence::NativeText)))
                << k.toString().toStdString();
    }
    for (const char* painted : {"Esc", "MIDI DEVICE", "SAVE AS", "SHIFT", "EXIT", "SEND", "OPEN"})
        EXPECT_TRUE(help.contains(painted)) << painted;

    // Esc closes the Element Assign dialog as Cancel does.
    click(0);
    auto* form = w->findChild<ElementSetupForm*>();
    ASSERT_TRUE(form->isVisible());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    auto* name = form->findChild<QLineEdit*>(QStringLiteral("txt_Preset_Name"));
    name->selectAll();
    QTest::keyClicks(name, "Gone");
    QTest::keyClick(name, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(state.DialogOpen);
    EXPECT_EQ(preset.Name, "Mix Default");
    EXPECT_EQ(doc->undoStack().count(), 0);

    // While the dialog is open the editing keys wait, as the pointer does; a close still saves.
    edit();
    click(0);
    ASSERT_TRUE(state.DialogOpen);
    key(Qt::Key_Z);
    EXPECT_EQ(preset.Elements[0].Daw.Explain, "Edited");
    answers = {SaveAnswer::Save};
    fileAnswers = {path("mine.qob")};
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_NE(test::bytesOf(path("mine.qob")).find("Edited"), std::string::npos);
}

TEST_F(EditingTest, TitleTexts) {
    struct Case {
        const char* file;
        bool modified;
        QString title;
    };
    const Case cases[] = {
        {"mine.qob", false, "mine.qob" + kTitleEnd},
        {"mine.qob", true, "*mine.qob" + kTitleEnd},
        {"a[*].qob", false, "a[*][*].qob" + kTitleEnd}, // Qt shows "[*][*]" as "[*]"
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(savePresetFile(path(c.file), preset).ok);
        w->files().openPresetPath(path(c.file));
        if (c.modified)
            edit();
        EXPECT_EQ(w->windowTitle(), c.title);
    }
}

// Dropping the history is no change of the preset: loading, importing and the document's end
// report the new status once and nothing else, never the old file as modified.
TEST(PresetDocumentHistory, DroppingTheHistoryReportsNoChange) {
    struct Way {
        const char* what;
        std::function<void(std::unique_ptr<PresetDocument>&)> drop;
        int statusReports;
        bool modifiedAfter;
    };
    const Way ways[] = {
        {"loaded", [](auto& doc) { doc->loaded(QStringLiteral("/presets/b.qob")); }, 1, false},
        {"imported", [](auto& doc) { doc->imported(); }, 1, true},
        {"destroyed", [](auto& doc) { doc.reset(); }, 0, false},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        Preset preset;
        auto doc = std::make_unique<PresetDocument>(preset);
        doc->loaded(QStringLiteral("/presets/a.qob"));
        preset.Elements[0].Daw.Explain = "Edited";
        ASSERT_TRUE(doc->commit(QStringLiteral("edit")));
        ASSERT_TRUE(doc->isModified());
        int changes = 0;
        QStringList reports; // what each status report showed
        QObject::connect(doc.get(), &PresetDocument::changed, [&changes] { ++changes; });
        QObject::connect(doc.get(), &PresetDocument::statusChanged,
                         [&] { reports << doc->displayName() + (doc->isModified() ? "*" : ""); });
        way.drop(doc);
        EXPECT_EQ(changes, 0);
        EXPECT_EQ(reports.size(), way.statusReports) << reports.join('|').toStdString();
        if (doc) {
            EXPECT_EQ(doc->isModified(), way.modifiedAfter);
            EXPECT_EQ(doc->undoStack().count(), 0);
        }
    }
}

} // namespace
