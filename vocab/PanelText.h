// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <string>

namespace qob {

// What the information panel shows for one record; shared by the main window and `qob show`.
// Texts are Windows-1252 bytes (Explain comes straight from the preset).
struct PanelText {
    std::string type;    // "PC Key", "SysEx", a mode word or empty
    std::string data;    // event numbers or keystroke text
    std::string explain; // the label or the event description
    std::string sysex;   // the SysEx text, spanning data and explain
    bool isSysEx = false;
};

PanelText panelText(int element, const ElementAssignment& record, Layer layer);

} // namespace qob
