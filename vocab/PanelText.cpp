// SPDX-License-Identifier: GPL-3.0-or-later
#include "vocab/PanelText.h"

#include "vocab/Text.h"

namespace qob {

PanelText panelText(int element, const ElementAssignment& record, Layer layer) {
    PanelText t;
    switch (assignKind(record)) {
    case AssignKind::Keyboard:
        t.type = "PC Key";
        t.data = keystrokeText(record.Data1, record.Data2);
        t.explain = record.Explain;
        break;
    case AssignKind::SysEx:
        t.type = "SysEx";
        t.sysex = sysexText(record);
        t.isSysEx = true;
        break;
    default:
        // Any other status, valid event or not, is described as an event.
        t.type = modeWord(element, record);
        t.data = midiDataText(record);
        if (auto explain = midiExplainText(record, layer))
            t.explain = *explain;
        break;
    }
    return t;
}

} // namespace qob
