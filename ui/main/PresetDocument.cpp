// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/PresetDocument.h"

#include "model/Cp1252.h"
#include "model/PresetFile.h"

#include <QFileInfo>
#include <QSignalBlocker>
#include <QUndoCommand>

#include <utility>
#include <vector>

namespace qob {
namespace {

// One change of the preset: the values it had before and after, for the parts that changed.
// Every kind of change (dialog, paste, fill) is one of these.
class PresetChange : public QUndoCommand {
public:
    PresetChange(Preset& preset, const Preset& before, const QString& text)
        : QUndoCommand(text), m_preset(preset) {
        const Preset& after = preset;
        m_before.Name = before.Name;
        m_after.Name = after.Name;
        m_before.FaderLimit = before.FaderLimit;
        m_after.FaderLimit = after.FaderLimit;
        m_before.VPotLimit = before.VPotLimit;
        m_after.VPotLimit = after.VPotLimit;
        m_before.PresetIndex = before.PresetIndex;
        m_after.PresetIndex = after.PresetIndex;
        for (int k = 0; k < kElementCount; ++k)
            if (!(before.Elements[k] == after.Elements[k]))
                m_slots.push_back({k, before.Elements[k], after.Elements[k]});
    }

    void undo() override { apply(m_before, &Slot::before); }
    void redo() override { apply(m_after, &Slot::after); }

private:
    struct Head {
        std::string Name;
        std::array<std::int16_t, 2> FaderLimit{};
        std::array<std::int16_t, 2> VPotLimit{};
        std::int16_t PresetIndex = 1;
    };
    struct Slot {
        int element;
        ElementSlot before;
        ElementSlot after;
    };

    void apply(const Head& head, ElementSlot Slot::*side) {
        m_preset.Name = head.Name;
        m_preset.FaderLimit = head.FaderLimit;
        m_preset.VPotLimit = head.VPotLimit;
        m_preset.PresetIndex = head.PresetIndex;
        for (const Slot& slot : m_slots)
            m_preset.Elements[slot.element] = slot.*side;
    }

    Preset& m_preset;
    Head m_before;
    Head m_after;
    std::vector<Slot> m_slots;
};

} // namespace

PresetDocument::PresetDocument(Preset& preset, QObject* parent)
    : QObject(parent), m_preset(preset), m_lastStep(preset), m_savedText(writePreset(preset)) {
    connect(&m_stack, &QUndoStack::indexChanged, this, &PresetDocument::stackMoved);
}

// ~QUndoStack clears the history, which would report a change of the preset to receivers that
// may be half torn down by now.
PresetDocument::~PresetDocument() {
    m_stack.blockSignals(true);
}

bool PresetDocument::commit(const QString& text) {
    if (m_preset == m_lastStep)
        return false;
    // push() runs redo(), which writes the values the preset holds already.
    m_stack.push(new PresetChange(m_preset, m_lastStep, text));
    return true;
}

void PresetDocument::stackMoved() {
    m_lastStep = m_preset;
    const bool modified = writePreset(m_preset) != m_savedText;
    const bool was = std::exchange(m_modified, modified);
    emit changed();
    if (was != modified)
        emit statusChanged();
}

void PresetDocument::setClean(const QString& file) {
    m_lastStep = m_preset;
    m_savedText = writePreset(m_preset);
    const bool statusMoves = m_modified || file != m_file;
    m_modified = false;
    m_file = file;
    m_stack.setClean();
    if (statusMoves)
        emit statusChanged();
}

// Dropping the history moves the stack's index, which is no change of the preset: without the
// blocker, the old file would be reported modified for a moment.
void PresetDocument::clearHistory() {
    const QSignalBlocker quiet(m_stack);
    m_stack.clear();
}

void PresetDocument::loaded(const QString& file) {
    clearHistory();
    setClean(file);
}

void PresetDocument::imported() {
    clearHistory();
    m_lastStep = m_preset;
    m_savedText.clear(); // no file text equals an empty one
    m_file.clear();
    m_modified = true;
    emit statusChanged();
}

void PresetDocument::saved(const QString& file) {
    setClean(file);
}

QString PresetDocument::displayName() const {
    if (!m_file.isEmpty())
        return QFileInfo(m_file).fileName();
    // With no file yet, the preset is known by the name the display shows.
    const QString name = fromCp1252(m_preset.Name).trimmed();
    return name.isEmpty() ? QStringLiteral("Untitled") : name;
}

} // namespace qob
