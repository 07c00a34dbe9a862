// SPDX-License-Identifier: GPL-3.0-or-later
#include "vocab/ShortText.h"

#include <gtest/gtest.h>

using namespace qob;

namespace {

ElementAssignment record(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                         std::uint8_t mode = 0, std::array<std::uint8_t, 8> tail = {}) {
    ElementAssignment a;
    a.Mode = mode;
    a.Status = status;
    a.Data1 = data1;
    a.Data2 = data2;
    a.SysExTail = tail;
    return a;
}

constexpr std::uint8_t kF7 = 0xF7;

} // namespace

TEST(ShortText, EventWords) {
    const struct {
        ElementAssignment record;
        std::string words;
    } cases[] = {
        {record(0xB0, 7, 100), "CC 7 ch 1"},
        {record(0xBF, 127, 0), "CC 127 ch 16"},
        {record(0x99, 36, 127), "Note 36 ch 10"},
        {record(0x80, 60, 0), "Note off 60 ch 1"},
        {record(0xA3, 60, 5), "Poly AT 60 ch 4"},
        {record(0xC0, 5, 0), "Prog 5 ch 1"},
        {record(0xD1, 0, 0), "Aftertouch ch 2"},
        {record(0xE1, 0, 64), "Pitch bend ch 2"},
        // Keystrokes: modifiers in keyboard order, every kind of key, an unnamed usage ID.
        {record(0xFF, 1, 22), "Ctrl+S"},
        {record(0xFF, 7, 44), "Ctrl+Shift+Alt+Space"},
        {record(0xFF, 0, 69), "F12"},
        {record(0xFF, 2, 39), "Shift+0"},
        {record(0xFF, 4, 30), "Alt+1"},
        {record(0xFF, 0, 82), "Up"},
        {record(0xFF, 8, 100), "Key 100"},
        // SysEx: the bytes after F0 up to the end mark; a first byte F7 is data, ten fill it.
        {record(0xF0, 0x7F, 0x7F, 0, {0x06, 0x04, kF7}), "SysEx 7F 7F 06 04"},
        {record(0xF0, 0x7E, kF7), "SysEx 7E"},
        {record(0xF0, kF7, 0x01, 0, {kF7}), "SysEx F7 01"},
        {record(0xF0, 0x43, 0x10, 0, {1, 2, 3, 4, 5, 6, 7, 0x0A}),
         "SysEx 43 10 01 02 03 04 05 06 07 0A"},
        // Nothing to send.
        {record(0x00, 0, 0), ""},
        {record(0x7F, 1, 2), ""},
        {record(0xF8, 1, 2), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shortEventText(c.record), c.words)
            << "status " << int(c.record.Status) << " data " << int(c.record.Data1) << ", "
            << int(c.record.Data2);
}

TEST(ShortText, ModeOnlyWhereNotDefault) {
    const ElementAssignment pushEvent = record(0x90, 36, 127, ElementMode::Push);
    const ElementAssignment drawbarEvent = record(0xB0, 12, 0, ElementMode::Drawbar);
    const ElementAssignment bothBits =
        record(0xB0, 12, 0, ElementMode::Push | ElementMode::Drawbar);
    const struct {
        ElementAssignment record;
        int element;
        std::string mode;
    } cases[] = {
        {pushEvent, 18, "Push"},      // Button 1
        {pushEvent, 55, "Push"},      // Button 16
        {pushEvent, 27, "Push"},      // PLAY
        {pushEvent, 0, ""},           // a V-Pot knows no Push
        {drawbarEvent, 0, "Drawbar"}, // V-Pot 1
        {drawbarEvent, 47, "Drawbar"},
        {drawbarEvent, 16, "Drawbar"}, // Fader Master
        {drawbarEvent, 17, "Drawbar"}, // Breath Control
        {drawbarEvent, 31, ""},        // the Wheel has neither
        {drawbarEvent, 18, ""},        // Toggle is the default
        {bothBits, 8, "Drawbar"},
        {bothBits, 20, "Push"},
        {record(0x90, 36, 0), 18, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shortModeText(c.record, c.element), c.mode) << "element " << c.element;

    // Keystrokes and SysEx keep a mode byte the dialog never set for them.
    EXPECT_EQ(shortModeText(record(0xFF, 1, 22, ElementMode::Push), 18), "");
    EXPECT_EQ(shortModeText(record(0xF0, 0x7E, kF7, ElementMode::Push), 18), "");
}
