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

#include <memory>

namespace qob::test {

inline QPoint centreOf(int code) {
    for (const Region& r : kRegions)
        if (r.bank1Code == code)
            return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return {};
}

struct WindowDriver {
    Preset preset;
    EditorState state;
    std::unique_ptr<frmMain> window;
    QStringList messages; // text, informative text, text, ...
    QStringList asked;    // titles of the file dialogs
    int ends = 0;

    void open(std::function<std::shared_ptr<MidiOutService>()> service) {
        window = std::make_unique<frmMain>(preset, state);
        window->seams().showMessage = [this](const QString& text, const QString& informative) {
            messages << text << informative;
        };
        window->seams().askFileName = [this](const QString& title, const QString&, bool,
                                             const QString&) {
            asked << title;
            return QString();
        };
        window->seams().endProgram = [this] { ++ends; };
        window->seams().midiService = std::move(service);
        window->show();
        (void)QTest::qWaitForWindowExposed(window.get());
    }

    void click(int code) {
        const QPoint p = centreOf(code);
        QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, p);
        QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, p);
    }
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
