// SPDX-License-Identifier: GPL-3.0-or-later
#include "vocab/ShortText.h"

#include <gtest/gtest.h>

using namespace qob;

TEST(ShortText, EveryKindInAFewWords) {
    const struct {
        ElementAssignment record;
        std::string text;
    } cases[] = {
        {{0, 0xB0, 7, 100, "Vol", {}}, "CC 7 ch 1"},
        {{0, 0x99, 36, 127, "", {}}, "Note 36 ch 10"},
        {{0, 0x8F, 60, 0, "", {}}, "Note off 60 ch 16"},
        {{0, 0xA2, 60, 50, "", {}}, "Poly AT 60 ch 3"},
        {{0, 0xC0, 5, 0, "", {}}, "Prog 5 ch 1"},
        {{0, 0xD4, 9, 0, "", {}}, "Chan AT ch 5"},
        {{0, 0xE1, 0, 64, "", {}}, "Pitch bend ch 2"},
        {{0, 0xFF, 1, 22, "Save", {}}, "Ctrl+S"},
        {{0, 0xFF, 7, 44, "", {}}, "Ctrl+Shift+Alt+Space"},
        {{0, 0xFF, 0, 69, "", {}}, "F12"},
        {{0, 0xFF, 8, 39, "", {}}, "0"},              // bits above Alt carry nothing
        {{0, 0xFF, 2, 100, "", {}}, "Shift+Key 100"}, // a key without a name
        {{0, 0xF0, 0x7F, 0x7F, "", {0x06, 0x04, 0xF7}}, "SysEx 7F 7F 06 04"},
        {{0, 0xF0, 0x7E, 0xF7, "", {}}, "SysEx 7E"},
        {{0, 0xF0, 1, 2, "", {3, 4, 5, 6, 7, 8, 9, 10}}, "SysEx 01 02 03 04 05 06 07 08 09 0A"},
        {{0, 0x00, 0, 0, "", {}}, ""},
        {{0, 0x7F, 1, 2, "", {}}, ""},
        {{0, 0xF8, 1, 2, "", {}}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shortEventText(c.record, Layer::Midi, 20), c.text)
            << int(c.record.Status) << " " << int(c.record.Data1);
}
