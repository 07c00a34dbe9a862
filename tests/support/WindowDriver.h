// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drives the main window and its MIDI Device Setup dialog through real pointer events, with
// every message box answered by the test.
#include "ui/main/ElementMap.h"
#include "ui/main/frmMain.h"
#include "ui/midisetup/MIDISetupForm.h"
#include "ui/midisetup/MidiCalls.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <memory>

#include <gtest/gtest.h>

namespace qob::test {

// The centre of the region that carries `code` in the given bank.
inline QPoint centreOf(int code, bool shift = false) {
    for (const Region& r : kRegions)
        if ((shift ? r.bank2Code : r.bank1Code) == code)
            return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ADD_FAILURE() << "no region for " << code;
    return {};
}

// A left press and release at `p`.
inline void clickAt(QWindow* window, QPoint p) {
    QTest::mousePress(window, Qt::LeftButton, {}, p);
    QTest::mouseRelease(window, Qt::LeftButton, {}, p);
}

// Answers at once whatever the window would show or ask in a modal dialog, so that no test
// waits on one that nobody sees: messages are kept, file dialogs, the save question and the
// print dialog are cancelled, and the end of the program is counted. A fixture that records or
// answers differently replaces those seams afterwards.
struct DialogAnswers {
    QStringList messages; // text, informative text, ...
    QStringList asked;    // titles of the file dialogs
    int ends = 0;

    void answerDialogs(frmMain& window) {
        window.seams().showMessage = [this](const QString& text, const QString& informative) {
            messages << text << informative;
        };
        window.seams().askFileName = [this](const QString& title, const QString&, bool,
                                            const QString&) {
            asked << title;
            return QString();
        };
        window.seams().askSaveChanges = [](const QString&) { return SaveAnswer::Cancel; };
        window.seams().askPrinter = [](QPrinter&) { return false; };
        window.seams().endProgram = [this] { ++ends; };
    }
};

struct WindowDriver : DialogAnswers {
    Preset preset;
    EditorState state;
    std::unique_ptr<frmMain> window;

    void open(std::function<std::shared_ptr<MidiOutService>()> service) {
        window = std::make_unique<frmMain>(preset, state);
        answerDialogs(*window);
        window->seams().midiService = std::move(service);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void click(int code) { clickAt(window->windowHandle(), centreOf(code)); }
    void hover(QPoint p) { QTest::mouseMove(window->windowHandle(), p); }

    MIDISetupForm* dialog() const { return window->findChild<MIDISetupForm*>(); }
    QComboBox* portList() const {
        return dialog()->findChild<QComboBox*>(QStringLiteral("Combo_MIDI_OUT"));
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < portList()->count(); ++i)
            names << portList()->itemText(i);
        return names;
    }
    // Waits until the MIDI service has answered every call asked of it (a JACK open that
    // times out takes 5 s).
    bool midiSettled(int timeoutMs = 20000) {
        const auto* calls = window->findChild<MidiCalls*>();
        return QTest::qWaitFor([calls] { return !calls->busy(); }, timeoutMs);
    }
    // MIDI DEVICE, and the list filled.
    void showPorts() {
        click(AREA_MIDI_DEVICE);
        EXPECT_TRUE(midiSettled());
    }
    QPushButton* okButton() const {
        return dialog()->findChild<QPushButton*>(QStringLiteral("cmdOK"));
    }
    // OK, and its outcome in.
    void pressOK() {
        QTest::mouseClick(okButton(), Qt::LeftButton);
        EXPECT_TRUE(midiSettled());
    }
    // MIDI DEVICE, pick entry `entry`, OK.
    void choosePort(int entry) {
        showPorts();
        portList()->setCurrentIndex(entry);
        pressOK();
    }
    QString panelRow2() const {
        const auto* sysEx = window->findChild<QLabel*>(QStringLiteral("Label_SysEx"));
        return sysEx->isVisible() ? sysEx->text() : QString();
    }
};

} // namespace qob::test
