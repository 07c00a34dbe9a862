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

std::uint8_t& sysExByte(ElementAssignment& a, int position) {
    if (position == 0)
        return a.Data1;
    if (position == 1)
        return a.Data2;
    return a.SysExTail.at(static_cast<std::size_t>(position - 2));
}

std::uint8_t sysExByte(const ElementAssignment& a, int position) {
    return sysExByte(const_cast<ElementAssignment&>(a), position);
}

} // namespace qob
