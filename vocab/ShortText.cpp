// SPDX-License-Identifier: GPL-3.0-or-later
#include "vocab/ShortText.h"

#include "vocab/ElementNames.h"
#include "vocab/Text.h"

#include <array>
#include <string_view>

namespace qob {
namespace {

constexpr int kFirstChannel = 1;
constexpr int kFaderMaster = 16;
constexpr int kBreathControl = 17;

std::string channel(std::uint8_t status) {
    return " ch " + std::to_string((status & 0x0F) + kFirstChannel);
}

std::string eventText(const ElementAssignment& a) {
    const std::string d1 = std::to_string(a.Data1);
    switch (a.Status >> 4) {
    case 0x8:
        return "Note off " + d1 + channel(a.Status);
    case 0x9:
        return "Note " + d1 + channel(a.Status);
    case 0xA:
        return "Poly AT " + d1 + channel(a.Status);
    case 0xB:
        return "CC " + d1 + channel(a.Status);
    case 0xC:
        return "Prog " + d1 + channel(a.Status);
    case 0xD:
        return "Aftertouch" + channel(a.Status);
    case 0xE:
        return "Pitch bend" + channel(a.Status);
    default:
        return {};
    }
}

// The panel's key table in the words printed on keyboards ("Space", "F12", "Up").
std::string keyWord(std::uint8_t key) {
    struct Named {
        std::uint8_t code;
        std::string_view word;
    };
    constexpr std::array<Named, 5> kNamed{{
        {KeyCode::Space, "Space"},
        {KeyCode::Right, "Right"},
        {KeyCode::Left, "Left"},
        {KeyCode::Down, "Down"},
        {KeyCode::Up, "Up"},
    }};
    if (key >= KeyCode::F1 && key <= KeyCode::F12)
        return "F" + std::to_string(key - KeyCode::F1 + 1);
    if (key >= KeyCode::A && key <= KeyCode::Z)
        return std::string(1, static_cast<char>('A' + key - KeyCode::A));
    if (key >= KeyCode::Digit1 && key <= KeyCode::Digit9)
        return std::string(1, static_cast<char>('1' + key - KeyCode::Digit1));
    if (key == KeyCode::Digit0)
        return "0";
    for (const Named& n : kNamed)
        if (n.code == key)
            return std::string(n.word);
    // A usage ID the editor has no name for still says what the surface will send.
    return "Key " + std::to_string(key);
}

std::string keystroke(const ElementAssignment& a) {
    std::string text;
    if (a.Data1 & 1)
        text += "Ctrl+";
    if (a.Data1 & 2)
        text += "Shift+";
    if (a.Data1 & 4)
        text += "Alt+";
    return text + keyWord(a.Data2);
}

// The bytes after F0 up to the end mark, which goes without saying. Like the panel, the first
// byte is never taken for the end mark.
std::string sysex(const ElementAssignment& a) {
    std::string text = "SysEx " + hexByte(a.Data1);
    for (int position = 1; position < kSysExPositions; ++position) {
        const std::uint8_t b = sysExByte(a, position);
        if (b == kSysExEnd)
            break;
        text += " " + hexByte(b);
    }
    return text;
}

} // namespace

// The layer and element do not change the words today; they are part of the signature so that
// a caller never has to know which records those are.
std::string shortEventText(const ElementAssignment& record, Layer /*layer*/, int /*element*/) {
    switch (assignKind(record)) {
    case AssignKind::MidiEvent:
        return eventText(record);
    case AssignKind::Keyboard:
        return keystroke(record);
    case AssignKind::SysEx:
        return sysex(record);
    case AssignKind::None:
        break;
    }
    return {};
}

std::string shortModeText(const ElementAssignment& record, int element) {
    if (assignKind(record) != AssignKind::MidiEvent)
        return {};
    if (isKey(element))
        return (record.Mode & ElementMode::Push) ? "Push" : "";
    const bool continuous =
        isVPotOrFader(element) || element == kFaderMaster || element == kBreathControl;
    if (continuous)
        return (record.Mode & ElementMode::Drawbar) ? "Drawbar" : "";
    return {};
}

} // namespace qob
