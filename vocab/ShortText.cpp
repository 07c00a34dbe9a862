// SPDX-License-Identifier: GPL-3.0-or-later
#include "vocab/ShortText.h"

#include "vocab/Text.h"

#include <array>
#include <string_view>

namespace qob {
namespace {

// Event types by the high nibble of the status byte, 0x8 to 0xE; the Boolean says whether
// Data1 (note, controller, program) belongs to the words.
struct EventWords {
    std::string_view word;
    bool showsData1;
};
constexpr std::array<EventWords, 7> kEvents{{
    {"Note off", true},
    {"Note", true},
    {"Poly AT", true},
    {"CC", true},
    {"Prog", true},
    {"Chan AT", false},
    {"Pitch bend", false},
}};
constexpr std::uint8_t kFirstEventType = 0x8;

constexpr std::array<std::string_view, 3> kModifierWords{"Ctrl", "Shift", "Alt"};

std::string keyWord(std::uint8_t key) {
    std::string name = keystrokeText(0, key);
    // The panel's "<F12>", "<Space>": the words without their brackets.
    if (name.size() > 2 && name.front() == '<' && name.back() == '>')
        return name.substr(1, name.size() - 2);
    if (name.empty())
        return "Key " + std::to_string(key);
    return name;
}

std::string keystrokeWords(std::uint8_t modifiers, std::uint8_t key) {
    std::string text;
    for (std::size_t bit = 0; bit < kModifierWords.size(); ++bit)
        if (modifiers & (1u << bit))
            text += std::string(kModifierWords[bit]) + "+";
    return text + keyWord(key);
}

std::string sysexWords(const ElementAssignment& record) {
    std::string bytes = sysexText(record);
    // The end mark says nothing a reader needs.
    constexpr std::string_view kEnd = " F7";
    if (bytes.size() >= kEnd.size() &&
        bytes.compare(bytes.size() - kEnd.size(), kEnd.size(), kEnd) == 0)
        bytes.resize(bytes.size() - kEnd.size());
    return "SysEx " + bytes;
}

} // namespace

std::string shortEventText(const ElementAssignment& record, [[maybe_unused]] Layer layer,
                           [[maybe_unused]] int element) {
    switch (assignKind(record)) {
    case AssignKind::Keyboard:
        return keystrokeWords(record.Data1, record.Data2);
    case AssignKind::SysEx:
        return sysexWords(record);
    case AssignKind::MidiEvent: {
        const EventWords& event =
            kEvents[static_cast<std::size_t>((record.Status >> 4) - kFirstEventType)];
        const std::string channel = "ch " + std::to_string((record.Status & 0x0F) + 1);
        if (!event.showsData1)
            return std::string(event.word) + " " + channel;
        return std::string(event.word) + " " + std::to_string(record.Data1) + " " + channel;
    }
    case AssignKind::None:
        break;
    }
    return {};
}

} // namespace qob
