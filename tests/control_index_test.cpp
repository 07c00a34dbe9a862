// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/ControlIndex.h"

#include <gtest/gtest.h>

using namespace qob;

TEST(ControlIndex, MatchesEveryKindInLayerAndElementOrder) {
    Preset p;
    p.Elements[33].Daw = {0, 0x80, 60, 0, {}, {}}; // bank 2, a Note Off beside bank 1's Note On
    p.Elements[0].Daw = {0, 0x90, 60, 127, {}, {}};
    p.Elements[5].Midi = {0, 0x90, 60, 127, {}, {}};
    p.Elements[1].Daw = {0, 0xA0, 60, 0, {}, {}};
    p.Elements[40].Midi = {0, 0xBF, 7, 0, {}, {}};
    p.Elements[2].Daw = {0, 0xBF, 7, 0, {}, {}};
    p.Elements[3].Daw = {0, 0xC0, 5, 0, {}, {}};
    p.Elements[4].Daw = {0, 0xDF, 9, 0, {}, {}}; // the stored value is no part of the match
    p.Elements[6].Daw = {0, 0xE0, 0, 64, {}, {}};
    p.Elements[7].Midi = {0, 0xF0, 0x7E, 0x7F, {}, {0x09, 0x01, 0xF7}};
    p.Elements[8].Daw = {0, 0xF0, 0x43, 0x10, {}, {1, 2, 3, 4, 5, 6, 7, 8}};
    p.Elements[50].Midi = {0, 0xFF, 1, 22, {}, {}};
    p.Elements[9].Daw = {0, 0xFF, 0, 44, {}, {}};
    const ControlIndex index(p);

    const std::vector<ControlMatch> note{{0, Layer::Daw}, {33, Layer::Daw}, {5, Layer::Midi}};
    const struct {
        std::vector<std::uint8_t> message;
        std::vector<ControlMatch> controls;
    } cases[] = {
        {{0x90, 60, 100}, note},
        {{0x80, 60, 64}, note},
        {{0x90, 60, 0}, note},
        {{0x91, 60, 100}, {}},
        {{0xA0, 60, 10}, {{1, Layer::Daw}}},
        {{0xBF, 7, 0}, {{2, Layer::Daw}, {40, Layer::Midi}}},
        {{0xB0, 7, 0}, {}},
        {{0xC0, 5}, {{3, Layer::Daw}}},
        {{0xDF, 100}, {{4, Layer::Daw}}},
        {{0xE0, 0x12, 0x34}, {{6, Layer::Daw}}},
        {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {{7, Layer::Midi}}},
        {{0xF0, 0x7E, 0x7F, 0x09, 0xF7}, {}},
        {{0xF0, 0x43, 0x10, 1, 2, 3, 4, 5, 6, 7, 8, 0xF7}, {{8, Layer::Daw}}},
        // Malformed: nothing, a missing or stray data byte, a status byte as data, no end mark.
        {{}, {}},
        {{0x3C}, {}},
        {{0x90, 60}, {}},
        {{0x90, 60, 100, 1}, {}},
        {{0xBF, 0x87, 0}, {}},
        {{0xF0, 0x7E, 0x7F, 0x09, 0x01}, {}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(index.match(cases[i].message), cases[i].controls) << "case " << i;
    EXPECT_EQ(index.keystrokeControls(),
              (std::vector<ControlMatch>{{9, Layer::Daw}, {50, Layer::Midi}}));
}
