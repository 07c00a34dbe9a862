// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/main/FileActions.h"

#include <QString>

#include <functional>
#include <memory>

class QPrinter;

namespace qob {

class MidiInService;
class MidiOutService;

// Everything that would block on a modal window or end the process goes through here, so tests
// can answer in its place.
struct MainWindowSeams {
    std::function<void(const QString& text, const QString& informative)> showMessage;
    // `start` is the file or folder the dialog proposes.
    std::function<QString(const QString& title, const QString& filter, bool save,
                          const QString& start)>
        askFileName;
    // "Save changes to "mine.qob"?" with Save, Discard and Cancel.
    std::function<SaveAnswer(const QString& fileName)> askSaveChanges;
    std::function<void()> endProgram;
    // The MIDI output service, asked for once, when the MIDI Device Setup dialog first opens.
    std::function<std::shared_ptr<MidiOutService>()> midiService;
    // The MIDI input service, asked for with it; nothing is listened to until the user chooses.
    std::function<std::shared_ptr<MidiInService>()> midiInService;
    // The print dialog: true when the user chose to print (to a printer or a PDF file).
    std::function<bool(QPrinter& printer)> askPrinter;
};

} // namespace qob
