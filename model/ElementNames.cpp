// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ElementNames.h"

#include "model/NumberText.h"
#include "model/Preset.h"

#include <array>
#include <string_view>

namespace qob {
namespace {

constexpr int kFaderMaster = 16;
constexpr int kBreathControl = 17;

// The single elements 16, 17 and 26..31, by the panel and by the file header.
struct SingleName {
    int element;
    std::string_view panel;
    std::string_view header;
};
constexpr std::array<SingleName, 8> kSingles{{
    {16, "Fader Master", "* : Fader Master"},
    {17, "Breath Control", "* : Breath Control"},
    {26, "Transport: FF", "* : FF"},
    {27, "Transport: PLAY", "* : PLAY"},
    {28, "Transport: REC", "* : REC"},
    {29, "Transport: REW", "* : REW"},
    {30, "Transport: STOP", "* : STOP"},
    {31, "Wheel", "* : WHEEL"},
}};

// Counted rows: first element, number of the first one within its kind, and the two prefixes.
struct CountedRow {
    int first;
    int last;
    int firstNumber;
    std::string_view panel;
    std::string_view header;
};
constexpr std::array<CountedRow, 6> kRows{{
    {0, 7, 1, "V Pot ", "* : V_Pot "},
    {8, 15, 1, "Fader ", "* : Fader "},
    {18, 25, 1, "Button ", "* : Button "},
    {32, 39, 9, "V Pot ", "* : V_Pot "},
    {40, 47, 9, "Fader ", "* : Fader "},
    {48, 55, 9, "Button ", "* : Button "},
}};

template <typename Pick> std::string nameFor(int element, Pick pick) {
    for (const auto& row : kRows)
        if (element >= row.first && element <= row.last)
            return std::string(pick(row)) + numberText(row.firstNumber + element - row.first);
    for (const auto& single : kSingles)
        if (single.element == element)
            return std::string(pick(single));
    return {};
}

} // namespace

std::string elementName(int element) {
    return nameFor(element, [](const auto& r) { return r.panel; });
}

std::string elementHeader(int element) {
    return nameFor(element, [](const auto& r) { return r.header; });
}

std::string_view layerName(Layer layer) {
    return layer == Layer::Midi ? "MIDI" : "DAW";
}

int bank2Partner(int element) {
    if (element >= 0 && element <= 15)
        return element + 32;
    if (element >= 18 && element <= 25)
        return element + 30;
    return element;
}

int bank1Partner(int element) {
    if (element >= 32 && element <= 47)
        return element - 32;
    if (element >= 48 && element <= 55)
        return element - 30;
    return element;
}

bool shownInBank(int element, bool channelShift) {
    const bool shared = bank1Partner(element) == element && bank2Partner(element) == element;
    return shared ||
           (channelShift ? bank1Partner(element) != element : bank2Partner(element) != element);
}

bool isButton(int element) {
    return (element >= 18 && element <= 25) || (element >= 48 && element <= 55);
}

bool isKey(int element) {
    return (element >= 18 && element <= 30) || (element >= 48 && element <= 55);
}

bool isVPotOrFader(int element) {
    return (element >= 0 && element <= 15) || (element >= 32 && element <= 47);
}

std::uint8_t modeBitOf(int element) {
    if (isKey(element))
        return ElementMode::Push;
    if (isVPotOrFader(element) || element == kFaderMaster || element == kBreathControl)
        return ElementMode::Drawbar;
    return 0;
}

} // namespace qob
