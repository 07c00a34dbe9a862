// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DumpImport.h"
#include "model/PresetFile.h"
#include "tests/support/TestPresets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

using namespace qob;
using namespace qob::test;

namespace {

using Bytes = std::string;

// Top bits in every position, texts that fill their fields and that do not, both SysEx halves,
// keystrokes, limits at the ends of what the image can carry.
Preset oddPreset() {
    Preset p;
    p.Name = "\xF0"
             "ab\x7F\x80"
             "cd\x1B[2J";
    p.FaderLimit = {32767, 0};
    p.VPotLimit = {256, 300};
    p.Elements[0].Daw = {0x10, 0xB0, 7, 100, "Volume", {}};
    p.Elements[0].Midi = {0x80, 0xF0, 0x7E,
                          0x7F, "",   {0x01, 0x80, 0xFF, 0xF0, 0x7F, 0, 0xF7, 0x55}};
    p.Elements[20].Midi = {0x80, 0xFF, 5, 69, "Go \xE9", {}};
    p.Elements[31].Daw = {0xFF, 0xEF, 0xFF, 0xFF, "12345678", {}};
    p.Elements[55].Midi = {0x01, 0x9F, 0x3C, 0x7F, " lead", {}};
    return p;
}

// The preset as the image gives it back.
Preset imported(const Bytes& syx, std::optional<int> slot = std::nullopt) {
    const DumpImport r = importDeviceDump(syx, slot);
    EXPECT_TRUE(r.preset.has_value()) << r.error;
    return r.preset.value_or(Preset{});
}

} // namespace

TEST(DumpImport, RoundTripsEverySlotAndTheTestPresets) {
    for (const Preset& p : {defaultPreset(), oddPreset(), Preset{}}) {
        for (int slot = 1; slot <= 8; ++slot) {
            SCOPED_TRACE("slot " + std::to_string(slot) + ", preset " + p.Name);
            const DumpBlocks blocks = blocksOf(p, slot);
            const Preset back = imported(syxOf(blocks));
            EXPECT_EQ(back.PresetIndex, slot);
            EXPECT_EQ(blocksOf(back, slot), blocks);
            // Through a saved file as well: what `qob import` then `qob syx` do.
            const ReadResult saved = readPreset(writePreset(back));
            ASSERT_TRUE(saved.preset.has_value()) << failureText(saved);
            EXPECT_EQ(blocksOf(*saved.preset, slot), blocks);
        }
    }
    // The fields themselves, not only the bytes they make.
    const Preset back = imported(syxOf(oddPreset(), 1));
    const Preset odd = oddPreset();
    EXPECT_EQ(back.Name, odd.Name.substr(0, 11));
    EXPECT_EQ(back.FaderLimit, odd.FaderLimit);
    EXPECT_EQ(back.VPotLimit, odd.VPotLimit);
    EXPECT_EQ(back.Elements[0].Daw, odd.Elements[0].Daw);
    EXPECT_EQ(back.Elements[0].Midi, odd.Elements[0].Midi);
    EXPECT_EQ(back.Elements[20].Midi, odd.Elements[20].Midi);
    EXPECT_EQ(back.Elements[55].Midi.Explain, " lead");
}

TEST(DumpImport, CapturesInAnyOrderWithOtherTrafficBetween) {
    const DumpBlocks blocks = blocksOf(defaultPreset(), 4);
    std::vector<DumpBlock> order(blocks.begin(), blocks.end());
    std::mt19937 random(14);
    std::shuffle(order.begin(), order.end(), random);

    // A monitor's capture: other SysEx, channel and clock bytes between the blocks, one block
    // twice, and a message of another maker that starts like ours.
    Bytes capture = "\xF0\x7E\x7F\x06\x01\xF7"
                    "\x90\x3C\x7F\xF8";
    for (std::size_t i = 0; i < order.size(); ++i) {
        capture += bytesOf(order[i]);
        if (i % 17 == 0)
            capture += "\xF8\xB0\x07\x64";
        if (i % 50 == 0)
            capture += bytesOf(order[i]);
    }
    capture += "\xF0\x7D\x12\x34\x10\x02\x22\x01\xF7"
               "\xF0\x43\x10";

    for (const Bytes& syx : {syxOf(blocks), capture}) {
        const DumpBlocksRead read = readDumpBlocks(syx);
        ASSERT_TRUE(read.blocks.has_value()) << read.error;
        EXPECT_EQ(*read.blocks, blocks);
        EXPECT_EQ(read.slot, 4);
    }

    // Two transfers interleaved: one is picked by its slot, the others are not looked at.
    const DumpBlocks other = blocksOf(oddPreset(), 7);
    Bytes two;
    for (int i = 0; i < kDumpBlocks; ++i)
        two += bytesOf(blocks[i]) + bytesOf(other[kDumpBlocks - 1 - i]);
    two += "\xF0\x7D\x12\x34\x10\x02\x21\x02\x05\xF7"; // a broken block of a third slot
    EXPECT_EQ(blocksOf(imported(two, 4), 4), blocks);
    EXPECT_EQ(blocksOf(imported(two, 7), 7), other);

    const DumpImport several = importDeviceDump(syxOf(blocks) + syxOf(other));
    EXPECT_EQ(several.problem, DumpImportProblem::SeveralSlots);
    EXPECT_EQ(several.error, "the file holds blocks for slots 4 and 7; pick one slot");
    const DumpImport absent = importDeviceDump(syxOf(blocks), 2);
    EXPECT_EQ(absent.problem, DumpImportProblem::NoSuchSlot);
    EXPECT_EQ(absent.error, "no blocks for slot 2; the file holds slot 4");
}

TEST(DumpImport, RefusesWhatIsNotOneWholeTransferNamingTheBlock) {
    const DumpBlocks good = blocksOf(defaultPreset(), 1);
    // Offset in the file of block i.
    const auto at = [](int i) { return static_cast<std::size_t>(i) * kDumpBlockBytes; };
    struct Case {
        const char* what;
        std::function<void(Bytes&)> change;
        DumpImportProblem problem;
        std::string error; // the start of it, or all of it
    };
    const std::vector<Case> cases{
        {"a block missing", [&](Bytes& s) { s.erase(at(17), 20); }, DumpImportProblem::Missing,
         "1 of 192 blocks for slot 1 are missing: block address 17"},
        {"the last block missing", [&](Bytes& s) { s.erase(at(191), 20); },
         DumpImportProblem::Missing, "1 of 192 blocks for slot 1 are missing: block address 1023"},
        {"many missing", [&](Bytes& s) { s.erase(at(100), 20 * 10); }, DumpImportProblem::Missing,
         "10 of 192 blocks for slot 1 are missing: block address 100, 101, 102, 103, 104, 105 "
         "and 4 more"},
        {"repeated with other bytes",
         [&](Bytes& s) {
             Bytes copy = s.substr(at(5), 20);
             copy[12] = 0x33;
             s += copy;
         },
         DumpImportProblem::Conflict,
         "message 193 (byte 3840), block address 5: repeats the block of message 6 (byte 100), "
         "block address 5 with different bytes"},
        {"one byte too many", [&](Bytes& s) { s.insert(at(9) + 12, 1, '\x01'); },
         DumpImportProblem::Malformed,
         "message 10 (byte 180), block address 9: bad length: 21 bytes from F0 to F7, not 20"},
        {"one byte too few", [&](Bytes& s) { s.erase(at(9) + 12, 1); },
         DumpImportProblem::Malformed, "message 10 (byte 180), block address 9: bad length: 19"},
        {"no F7 before the next block", [&](Bytes& s) { s.erase(at(12) + 19, 1); },
         DumpImportProblem::Malformed,
         "message 13 (byte 240), block address 12: bad framing: no F7 before the next F0"},
        {"cut at the end", [&](Bytes& s) { s.resize(s.size() - 3); }, DumpImportProblem::Malformed,
         "message 192 (byte 3820), block address 1023: bad framing: no F7 before the end of the "
         "file"},
        {"a data byte with its top bit", [&](Bytes& s) { s[at(30) + 12] = '\x85'; },
         DumpImportProblem::Malformed,
         "message 31 (byte 600), block address 30: data byte 0x85 at offset 12 (data bytes are "
         "below 0x80)"},
        {"a real-time byte inside a block", [&](Bytes& s) { s[at(30) + 16] = '\xF8'; },
         DumpImportProblem::Malformed, "message 31 (byte 600), block address 30: data byte 0xF8"},
        {"an address after the image",
         [&](Bytes& s) {
             s[at(3) + 8] = 63;
             s[at(3) + 9] = static_cast<char>(0x10 | (s[at(3) + 9] & 0x0F));
         },
         DumpImportProblem::Malformed,
         "message 4 (byte 60), block address 191: address 191 is outside 0..190 and 1023"},
        {"a slot byte past 7", [&](Bytes& s) { s[at(40) + 7] = 8; }, DumpImportProblem::Malformed,
         "message 41 (byte 800), block address 40: slot byte 0x08 is not a slot 0..7"},
        {"top bits in the upper nibble", [&](Bytes& s) { s[at(50) + 14] |= 0x20; },
         DumpImportProblem::Malformed,
         "message 51 (byte 1000), block address 50: offset 14 is 0x2"},
        {"a limit no preset gives",
         [&](Bytes& s) {
             // Image byte 11 is the high byte of the fader limit: d3 of block 1.
             s[at(1) + 9] |= 0x08;
         },
         DumpImportProblem::Image,
         "block address 1: Fader Limit value 1 is sent as 0x80 0x00, which no limit -255..32767 "
         "gives"},
        {"filler that is not 0xFF", [&](Bytes& s) { s[at(175) + 11] = 0x00; },
         DumpImportProblem::Image,
         "block address 175: image byte 1401 is 0x80, but bytes 1363..1535 are filler 0xFF"},
        {"nothing of ours", [](Bytes& s) { s = "\xF0\x7E\x7F\x06\x01\xF7 text"; },
         DumpImportProblem::NoBlocks,
         "no dump blocks: no SysEx message of the file starts F0 7D 12 34 10 02 21 (1 other "
         "SysEx messages)"},
        {"an empty file", [](Bytes& s) { s.clear(); }, DumpImportProblem::NoBlocks,
         "no dump blocks"},
        {"a header alone", [](Bytes& s) { s = "\xF0\x7D\x12\x34\x10\x02\x21\xF7"; },
         DumpImportProblem::Malformed, "message 1 (byte 0): bad length: 8 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes syx = syxOf(good);
        c.change(syx);
        const DumpImport r = importDeviceDump(syx);
        EXPECT_FALSE(r.preset.has_value());
        EXPECT_EQ(r.problem, c.problem);
        EXPECT_EQ(r.error.substr(0, c.error.size()), c.error) << r.error;
    }
}

TEST(DumpImport, NotesSayWhatTheImageCannotCarry) {
    Preset p;
    p.Name = "Exactly 11c";
    p.FaderLimit = {-1, 0};
    p.VPotLimit = {0, 127};
    p.Elements[0].Daw = {0, 0xB0, 7, 0, "Full8chr", {}};
    p.Elements[1].Daw = {0, 0xB0, 7, 0, "Say \"hi\"", {}};
    p.Elements[2].Daw = {0, 0xF0, 1, 2, "DAW sx", {}};
    p.Elements[26].Midi = {0, 0xF0, 0x7F, 0x7F, "lost", {6, 1, 0xF7}};
    p.Elements[27].Midi = {0, 0xB0, 1, 0, "Pad  ", {}};
    const DumpImport r = importDeviceDump(syxOf(p, 1));
    ASSERT_TRUE(r.preset.has_value()) << r.error;
    const std::vector<std::string> expected{
        "the name \"Exactly 11c\" fills its 11 bytes: a longer name was cut there",
        "labels that fill their 8 bytes may have been cut there: V Pot  1 DAW \"Full8chr\", V Pot  "
        "2 DAW \"Say \"hi\"\"",
        "the image pads the name and labels with blanks: trailing blanks were dropped",
        "the image carries no labels for MIDI-layer SysEx records, so these are empty: "
        "Transport: FF",
        "limits of 1..255 are sent like -255..-1 and are read as 1..255: Fader Limit value 1: 255 "
        "(or -1), V_Pot Limit value 2: 127 (or -129)",
        "a .qob file cannot hold a double quote: it is saved as ' in V Pot  2 DAW",
        "a .qob file does not keep the label of a DAW-layer SysEx record, so saving loses V Pot  3 "
        "DAW \"DAW sx\"",
    };
    EXPECT_EQ(r.notes, expected);
    EXPECT_EQ(r.preset->FaderLimit[0], 255);
    EXPECT_EQ(r.preset->Elements[27].Midi.Explain, "Pad");
    EXPECT_EQ(r.preset->Elements[26].Midi.Explain, "");

    // An image a .qob file reproduces exactly has nothing to say beyond the padding.
    Preset plain;
    plain.Elements[3].Daw.Explain = "ok";
    EXPECT_EQ(importDeviceDump(syxOf(plain, 1)).notes,
              std::vector<std::string>{
                  "the image pads the name and labels with blanks: trailing blanks were dropped"});
}
