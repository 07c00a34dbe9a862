// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <string>

namespace qob {

// The editor's one document: the preset, the file it belongs to, whether it differs from that
// file, and the history of changes. Handlers change the preset in place and then commit; undo and
// redo go through the stack.
class PresetDocument : public QObject {
    Q_OBJECT
public:
    // `preset` is owned by the caller and must outlive the document.
    explicit PresetDocument(Preset& preset, QObject* parent = nullptr);
    ~PresetDocument() override;

    Preset& preset() { return m_preset; }
    const Preset& preset() const { return m_preset; }
    QUndoStack& undoStack() { return m_stack; }

    // Makes what the handlers changed since the last step one undo step called `text`. Nothing
    // changed: no step, false.
    bool commit(const QString& text);

    // The preset now holds what `file` holds (empty: a file that Save must not write, such as the
    // default preset): not modified, and a fresh history.
    void loaded(const QString& file);
    // The preset was replaced by one that no file holds yet (read back from a dump): a fresh
    // history, no current file, and modified, so that it is not lost unasked.
    void imported();
    // The preset was written to `file`; the history stays.
    void saved(const QString& file);

    QString currentFile() const { return m_file; }
    // The preset differs from what was last loaded or saved, as a file would hold it: the preset
    // index, which no file carries, does not count.
    bool isModified() const { return m_modified; }
    // The current file's name, or "Untitled".
    QString displayName() const;

signals:
    // The preset changed (a step was made, undone or redone).
    void changed();
    // isModified() or currentFile() changed.
    void statusChanged();

private:
    void stackMoved();
    void clearHistory();
    void setClean(const QString& file);

    Preset& m_preset;
    Preset m_lastStep; // the preset as the last step left it
    std::string m_savedText;
    QString m_file;
    bool m_modified = false;
    QUndoStack m_stack;
};

} // namespace qob
