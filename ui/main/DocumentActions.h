// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"
#include "ui/main/MainWindowSeams.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QUrl;

namespace qob {

class PresetDocument;

// What the main window does with the document as a file: the default preset at start, open,
// Save and Save As, the question before edits are lost, dropped files, the .syx read-back,
// printing the preset sheet (in SheetPrinting.cpp) and the window title.
// Every dialog goes through the window's seams; `redraw` shows the preset after a load.
class DocumentActions : public QObject {
    Q_OBJECT
public:
    DocumentActions(Preset& preset, PresetDocument& document, MainWindowSeams& seams,
                    std::function<void()> redraw, QObject* parent = nullptr);

    // Loads the program folder's Default.QOB (a message on failure) as a preset without a file.
    void openDefault(const QString& programFolder);
    // Loads `path` (a message on failure) and redraws the panel either way. Asks nothing: the
    // callers that replace edits ask first.
    void openPresetPath(const QString& path);
    // Reads a .syx capture of a transfer back into the preset (a message when it cannot).
    void importDumpPath(const QString& path);
    void openPresetFile();
    // Writes the current file; without one, as Save As. True when the preset was written.
    bool savePresetFile();
    bool savePresetFileAs();
    // Asks before edits would be lost; true when the caller may go on.
    bool okToLoseChanges();
    // Opens a dropped file by its kind, or says why not.
    void openDroppedFiles(const QList<QUrl>& urls);
    // Ctrl+P: the preset sheet, both layers, through the print dialog.
    void printSheet();
    // "*mine.qob — QOB-TANDRIX Editor"
    QString windowTitle() const;

private:
    bool loadPreset(const QString& path);
    bool writePresetTo(const QString& path);
    bool isDefaultPreset(const QString& path) const;
    QString documentsFolder() const;

    Preset& m_preset;
    PresetDocument& m_document;
    MainWindowSeams& m_seams;
    std::function<void()> m_redraw;
    QString m_defaultPath; // the program folder's Default.QOB, which Save never writes

    // What a dropped file of each kind opens with; the first whose suffix matches.
    struct DropKind {
        QString suffix;
        std::function<void(const QString& path)> open;
    };
    std::vector<DropKind> m_dropKinds;
};

} // namespace qob
