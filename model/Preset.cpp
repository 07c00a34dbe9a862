// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Preset.h"

namespace qob {

AssignKind assignKind(const ElementAssignment& a) {
    if (a.Status == kStatusKeyboard)
        return AssignKind::Keyboard;
    if (a.Status == kStatusSysEx)
        return AssignKind::SysEx;
    if (a.Status >= 0x80 && a.Status <= 0xEF)
        return AssignKind::MidiEvent;
    return AssignKind::None;
}

} // namespace qob
