// SPDX-License-Identifier: GPL-3.0-or-later
#include "vocab/ShortText.h"

#include "model/ElementNames.h"
#include "model/NumberText.h"
#include "vocab/Text.h"

#include <array>
#include <string_view>

namespace qob {
namespace {

constexpr int kFirstChannel = 1;

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

// A key in the words printed on keyboards ("Space", "F12", "Up"): the panel's name without its
// angle brackets.
std::string keyWord(std::uint8_t key) {
    std::string name = keyName(key);
    // A usage ID the editor has no name for still says what the surface will send.
    if (name.empty())
        return std::string("Key ").append(std::to_string(key));
    if (name.front() == '<')
        name = name.substr(1, name.size() - 2);
    return name;
}

std::string keystroke(const ElementAssignment& a) {
    std::string text;
    if (a.Data1 & 1)
        text += "Ctrl+";
    if (a.Data1 & 2)
        text += "Shift+";
    if (a.Data1 & 4)
        text += "Alt+";
    text += keyWord(a.Data2);
    return text;
}

// The bytes after F0 as the panel shows them, less the end mark, which goes without saying.
std::string sysex(const ElementAssignment& a) {
    constexpr std::string_view kEndMark = " F7"; // the panel's text always ends with it
    const std::string panel = sysexText(a);
    // Appended, never "literal" + string: GCC 12 at -O3 takes that insert at the front for an
    // overlapping copy (-Wrestrict).
    std::string text = "SysEx ";
    text.append(panel, 0, panel.size() - kEndMark.size());
    return text;
}

} // namespace

std::string shortEventText(const ElementAssignment& record) {
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

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (!text.empty())
            text += ' ';
        text += hexByte(b);
    }
    return text;
}

std::string heardEventText(std::span<const std::uint8_t> message) {
    if (message.empty())
        return {};
    const std::uint8_t status = message[0];
    if (status == kStatusSysEx) {
        const std::size_t end = message.back() == kSysExEnd ? message.size() - 1 : message.size();
        return "SysEx " + hexBytes(message.subspan(1, end - 1));
    }
    if (status >= 0x80 && status < kStatusSysEx && message.size() >= 2) {
        ElementAssignment a{};
        a.Status = status;
        a.Data1 = message[1];
        a.Data2 = message.size() > 2 ? message[2] : 0;
        if ((status >> 4) == 0x9 && message.size() > 2 && a.Data2 == 0)
            a.Status = static_cast<std::uint8_t>(0x80 | (status & 0x0F));
        return eventText(a);
    }
    return "Status " + hexBytes(message.first(1));
}

std::string shortModeText(const ElementAssignment& record, int element) {
    if (assignKind(record) != AssignKind::MidiEvent)
        return {};
    switch (record.Mode & modeBitOf(element)) {
    case ElementMode::Push:
        return "Push";
    case ElementMode::Drawbar:
        return "Drawbar";
    default:
        return {};
    }
}

} // namespace qob
