// SPDX-License-Identifier: GPL-3.0-or-later
// One record as text (the clipboard's form), pasting it, and filling a row from one element.
#include "model/PresetFile.h"
#include "model/RecordEdits.h"

#include <gtest/gtest.h>

using namespace qob;

namespace {

TEST(RecordText, RoundTripsInEveryFormAndRefusesWhatIsNoRecord) {
    const ElementAssignment event{ElementMode::Drawbar, 0xB0, 7, 100, "Vol, \xE9", {1, 2}};
    const ElementAssignment key{ElementMode::Push, 0xFF, 5, 69, "Save", {}};
    const ElementAssignment sysex{0, 0xF0, 0x43, 0x10, "", {0x4C, 0, 0xF7, 0, 0, 0, 0, 9}};
    const ElementAssignment base{1, 2, 3, 4, "kept", {8, 8, 8, 8, 8, 8, 8, 8}};

    EXPECT_EQ(writeRecord(0, Layer::Daw, event),
              "\"* : V_Pot  1\"\r\n\"** : DAW\"\r\n16\r\n176,7,100\r\n\"Vol, \xE9\"\r\n");
    for (const ElementAssignment& a : {event, key, sysex}) {
        for (const Layer layer : {Layer::Daw, Layer::Midi}) {
            const std::string text = writeRecord(20, layer, a);
            const RecordReadResult read = readRecord(text, base);
            ASSERT_TRUE(read.record) << read.detail;
            ElementAssignment expected = a;
            if (a.Status == kStatusSysEx)
                expected.Explain = base.Explain; // not carried: the target keeps its own
            else
                expected.SysExTail = base.SysExTail;
            EXPECT_EQ(*read.record, expected);
            EXPECT_EQ(read.layer, layer);
        }
    }
    // As a text editor may leave it: LF line ends, no header or marker, items on one line.
    const RecordReadResult bare = readRecord("\n16\n176,7,100,\"Vol\"\n\n", base);
    ASSERT_TRUE(bare.record) << bare.detail;
    EXPECT_EQ(bare.record->Status, 0xB0);
    EXPECT_EQ(bare.record->Explain, "Vol");
    EXPECT_FALSE(bare.layer);

    for (const char* bad : {"", "hello", "0\r\n256,1,2\r\n\"x\"\r\n", "0\r\n144,1,2\r\n",
                            "0\r\n144,1,2\r\n\"x\"\r\n\"** : DAW\"\r\n0\r\n144,1,2\r\n\"y\"\r\n"}) {
        const RecordReadResult read = readRecord(bad, base);
        EXPECT_FALSE(read.record) << bad;
        EXPECT_FALSE(read.detail.empty()) << bad;
    }
}

TEST(PasteRecord, KeystrokesAndSysExOnlyOnKeysInTheMidiLayer) {
    const std::string key = writeRecord(20, Layer::Midi, {ElementMode::Push, 0xFF, 1, 4, "K", {}});
    const std::string sysex = writeRecord(20, Layer::Midi, {0, 0xF0, 0x7E, 0xF7, "", {}});
    const std::string event = writeRecord(20, Layer::Midi, {ElementMode::Push, 0x90, 1, 2, "", {}});
    struct Case {
        const std::string& text;
        int element;
        Layer layer;
        bool ok;
    };
    const Case cases[] = {
        {key, 18, Layer::Midi, true},   {key, 30, Layer::Midi, true},
        {key, 55, Layer::Midi, true},   {key, 18, Layer::Daw, false},
        {key, 0, Layer::Midi, false},   {key, 31, Layer::Midi, false},
        {sysex, 26, Layer::Midi, true}, {sysex, 16, Layer::Midi, false},
        {sysex, 48, Layer::Daw, false}, {event, 0, Layer::Daw, true},
        {event, 31, Layer::Midi, true}, {std::string("x"), 0, Layer::Daw, false},
    };
    for (const Case& c : cases) {
        Preset preset;
        preset.Elements[c.element].record(c.layer).Explain = "before";
        const Preset before = preset;
        const EditResult result = pasteRecord(preset, c.element, c.layer, c.text);
        SCOPED_TRACE(c.text + " on " + std::to_string(c.element));
        EXPECT_EQ(result.ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(preset, before);
            EXPECT_FALSE(result.text.empty());
            continue;
        }
        const ElementAssignment& pasted = preset.Elements[c.element].record(c.layer);
        EXPECT_EQ(pasted.Status, readRecord(c.text, {}).record->Status);
        // Push belongs to keys; a V-Pot or the Wheel does not take it.
        EXPECT_EQ(pasted.Mode, (c.element >= 18 && c.element <= 30) || c.element >= 48
                                   ? readRecord(c.text, {}).record->Mode
                                   : 0);
    }
}

TEST(FillRow, StepsNumberChannelAndLabelOrRefusesWithoutChange) {
    Preset preset;
    preset.Elements[0].Daw = {ElementMode::Drawbar, 0xB0, 10, 64, "Pan 1", {}};
    preset.Elements[0].Midi = {0, 0x90, 1, 1, "other", {}};
    EXPECT_EQ(fillRow(preset, 0, Layer::Daw, FillStep::Number).text,
              "Filled V-Pots 1-16: CC 10 to 25");
    const std::vector<int> vpots = rowOf(0);
    ASSERT_EQ(vpots, rowOf(39));
    for (int j = 0; j < 16; ++j) {
        const ElementAssignment& a = preset.Elements[vpots[static_cast<std::size_t>(j)]].Daw;
        EXPECT_EQ(a, (ElementAssignment{ElementMode::Drawbar,
                                        0xB0,
                                        static_cast<std::uint8_t>(10 + j),
                                        64,
                                        "Pan " + std::to_string(j + 1),
                                        {}}))
            << j;
    }
    EXPECT_EQ(preset.Elements[32].Daw.Data1, 18);             // V-Pot 9 follows V-Pot 8
    EXPECT_EQ(preset.Elements[32].Midi, ElementAssignment{}); // the other layer is left alone
    EXPECT_EQ(preset.Elements[16].Daw, ElementAssignment{});  // the Fader Master is no Fader here

    // From Button 12 by channel: Button 1 gets channel 1 (status low nibble 0), Button 16 16.
    preset.Elements[51].Midi = {ElementMode::Push, 0x9B, 60, 127, "Ch12", {}};
    preset.Elements[8].Daw = {0, 0xB0, 1, 0, "F03", {}};
    ASSERT_TRUE(fillRow(preset, 8, Layer::Daw, FillStep::Number).ok);
    EXPECT_EQ(preset.Elements[47].Daw.Explain, "F18");
    EXPECT_EQ(preset.Elements[9].Daw.Explain, "F04");
    EXPECT_EQ(fillRow(preset, 51, Layer::Midi, FillStep::Channel).text,
              "Filled Buttons 1-16: channel 1 to 16");
    EXPECT_EQ(preset.Elements[18].Midi,
              (ElementAssignment{ElementMode::Push, 0x90, 60, 127, "Ch1", {}}));
    EXPECT_EQ(preset.Elements[55].Midi.Status, 0x9F);
    EXPECT_EQ(preset.Elements[55].Midi.Explain, "Ch16");

    struct Refusal {
        int element;
        ElementAssignment source;
        FillStep step;
        const char* detail; // part of the reason
    };
    const Refusal refusals[] = {
        {9, {0, 0xB0, 7, 0, "", {}}, FillStep::Channel, "Fader  1 would get channel 0"},
        {8, {0, 0xB1, 7, 0, "", {}}, FillStep::Channel, "Fader  16 would get channel 17"},
        {8, {0, 0xB0, 113, 0, "", {}}, FillStep::Number, "Fader  16 would get controller 128"},
        {40, {0, 0x90, 3, 0, "", {}}, FillStep::Number, "Fader  1 would get note -5"},
        {8, {0, 0xB0, 1, 0, "Volume 1", {}}, FillStep::Number, "\"Volume 10\""},
        {9, {0, 0xB0, 1, 0, "Pan 0", {}}, FillStep::Number, "label numbered -1"},
        {20, {0, 0xFF, 1, 4, "", {}}, FillStep::Number, "a keystroke"},
        {16, {0, 0xB0, 7, 0, "", {}}, FillStep::Number, "Fader Master"},
        {26, {0, 0x90, 7, 0, "", {}}, FillStep::Number, "Transport: FF"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.detail);
        Preset p;
        p.Elements[r.element].Daw = r.source;
        const Preset before = p;
        const EditResult result = fillRow(p, r.element, Layer::Daw, r.step);
        EXPECT_FALSE(result.ok);
        EXPECT_NE((result.text + result.detail).find(r.detail), std::string::npos)
            << result.text << " / " << result.detail;
        EXPECT_EQ(p, before);
    }
}

} // namespace
