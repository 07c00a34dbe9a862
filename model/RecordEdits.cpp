// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RecordEdits.h"

#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "model/PresetFile.h"

#include <algorithm>
#include <array>
#include <optional>

namespace qob {
namespace {

constexpr int kRowLength = 16;
constexpr int kHighestChannel = 15; // shown as 16
constexpr int kHighestDataByte = 127;
// What the surface's display and the dialog's label field hold.
constexpr std::size_t kLabelChars = 8;
// More digits than any label holds; keeps the arithmetic far from overflow.
constexpr std::size_t kMaxLabelDigits = 9;

struct Row {
    int bank1First;
    int bank2First;
    const char* plural;
};
constexpr std::array<Row, 3> kRows{{
    {0, 32, "V-Pots"},
    {8, 40, "Faders"},
    {18, 48, "Buttons"},
}};

const Row* rowFor(int element) {
    for (const Row& row : kRows)
        if ((element >= row.bank1First && element < row.bank1First + 8) ||
            (element >= row.bank2First && element < row.bank2First + 8))
            return &row;
    return nullptr;
}

std::string kindWord(const ElementAssignment& a) {
    switch (assignKind(a)) {
    case AssignKind::Keyboard:
        return "a keystroke";
    case AssignKind::SysEx:
        return "a SysEx string";
    case AssignKind::MidiEvent:
        return "a MIDI event";
    case AssignKind::None:
        break;
    }
    return "no MIDI event";
}

// What the first data byte is called for the event type, in a sentence or, `shortForm`, in
// the note a fill leaves on the status row ("CC 7 to 22").
std::string firstByteWord(std::uint8_t status, bool shortForm = false) {
    switch (status & 0xF0) {
    case 0x80:
    case 0x90:
    case 0xA0:
        return "note";
    case 0xB0:
        return shortForm ? "CC" : "controller";
    case 0xC0:
        return "program";
    default:
        return shortForm ? "data 1" : "first data byte";
    }
}

// A label's trailing number: "Pan 12" is "Pan " and 12.
struct LabelNumber {
    std::string prefix;
    long value = 0;
    std::size_t zeroPadTo = 0; // written with leading zeros ("Ch01"): the width kept
};

std::optional<LabelNumber> labelNumber(const std::string& label) {
    std::size_t start = label.size();
    while (start > 0 && label[start - 1] >= '0' && label[start - 1] <= '9')
        --start;
    const std::size_t digits = label.size() - start;
    if (digits == 0 || digits > kMaxLabelDigits)
        return std::nullopt;
    const bool leadingZero = digits > 1 && label[start] == '0';
    return LabelNumber{label.substr(0, start), std::stol(label.substr(start)),
                       leadingZero ? digits : 0};
}

std::string labelWith(const LabelNumber& n, long value) {
    std::string digits = std::to_string(value);
    if (digits.size() < n.zeroPadTo)
        digits.insert(0, n.zeroPadTo - digits.size(), '0');
    return n.prefix + digits;
}

EditResult refused(std::string text, std::string detail) {
    return {false, std::move(text), std::move(detail)};
}

} // namespace

bool takesKeystrokeOrSysEx(int element, Layer layer) {
    return layer == Layer::Midi && isKey(element);
}

std::vector<int> rowOf(int element) {
    const Row* row = rowFor(element);
    if (!row)
        return {};
    std::vector<int> elements;
    for (const int first : {row->bank1First, row->bank2First})
        for (int i = 0; i < 8; ++i)
            elements.push_back(first + i);
    return elements;
}

EditResult pasteRecord(Preset& preset, int element, Layer layer, std::string_view bytes) {
    ElementAssignment& target = preset.Elements[element].record(layer);
    const RecordReadResult read = readRecord(bytes, target);
    if (!read.record) {
        ReadResult asPreset;
        asPreset.line = read.line;
        asPreset.detail = read.detail;
        return refused("The clipboard holds no QOB-TANDRIX assignment.", failureText(asPreset));
    }
    ElementAssignment record = *read.record;
    const AssignKind kind = assignKind(record);
    if ((kind == AssignKind::Keyboard || kind == AssignKind::SysEx) &&
        !takesKeystrokeOrSysEx(element, layer))
        return refused("Can't paste " + kindWord(record) + " onto " + elementName(element) +
                           " in the " + std::string(layerName(layer)) + " layer.",
                       "Keystrokes and SysEx strings go only onto Buttons and transport keys, "
                       "in the MIDI layer.");
    record.Mode &= modeBitOf(element);
    target = std::move(record);
    return {};
}

EditResult fillRow(Preset& preset, int element, Layer layer, FillStep step) {
    const Row* row = rowFor(element);
    if (!row)
        return refused("Can't fill a row from " + elementName(element) + ".",
                       "A row is filled from a V-Pot, a Fader or a Button.");
    const ElementAssignment source = preset.Elements[element].record(layer);
    const std::string cannot = std::string("Can't fill the ") + row->plural + ".";
    if (assignKind(source) != AssignKind::MidiEvent)
        return refused(cannot, elementName(element) + " holds " + kindWord(source) + " in the " +
                                   std::string(layerName(layer)) +
                                   " layer; only a MIDI event is stepped.");

    const std::vector<int> elements = rowOf(element);
    const int from =
        static_cast<int>(std::find(elements.begin(), elements.end(), element) - elements.begin());
    const std::optional<LabelNumber> label = labelNumber(source.Explain);
    std::array<ElementAssignment, kRowLength> filled;
    for (int j = 0; j < kRowLength; ++j) {
        const int offset = j - from;
        const std::string name = elementName(elements[static_cast<std::size_t>(j)]);
        ElementAssignment& a = filled[static_cast<std::size_t>(j)];
        a = source;
        if (step == FillStep::Channel) {
            const int channel = (source.Status & 0x0F) + offset;
            if (channel < 0 || channel > kHighestChannel)
                return refused(cannot, name + " would get channel " + std::to_string(channel + 1) +
                                           "; channels run from 1 to 16.");
            a.Status = static_cast<std::uint8_t>((source.Status & 0xF0) | channel);
        } else {
            const int number = source.Data1 + offset;
            if (number < 0 || number > kHighestDataByte)
                return refused(cannot, name + " would get " + firstByteWord(source.Status) + " " +
                                           std::to_string(number) + "; it runs from 0 to 127.");
            a.Data1 = static_cast<std::uint8_t>(number);
        }
        if (label) {
            const long value = label->value + offset;
            if (value < 0)
                return refused(cannot,
                               name + " would get a label numbered " + std::to_string(value) + ".");
            a.Explain = labelWith(*label, value);
            if (a.Explain.size() > kLabelChars && source.Explain.size() <= kLabelChars)
                return refused(cannot, name + " would get the label \"" +
                                           fromCp1252(a.Explain).toStdString() +
                                           "\", longer than the 8 characters the surface shows.");
        }
    }
    for (int j = 0; j < kRowLength; ++j)
        if (j != from)
            preset.Elements[elements[static_cast<std::size_t>(j)]].record(layer) =
                filled[static_cast<std::size_t>(j)];
    // "Filled Faders 1-16: CC 7 to 22"
    const ElementAssignment& first = filled.front();
    const ElementAssignment& last = filled.back();
    std::string range;
    if (step == FillStep::Channel)
        range = "channel " + std::to_string((first.Status & 0x0F) + 1) + " to " +
                std::to_string((last.Status & 0x0F) + 1);
    else
        range = firstByteWord(source.Status, true) + " " + std::to_string(first.Data1) + " to " +
                std::to_string(last.Data1);
    return {true, std::string("Filled ") + row->plural + " 1-16: " + range, {}};
}

} // namespace qob
