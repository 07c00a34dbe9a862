// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceDump.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

using namespace qob;

namespace {

using Bytes = std::vector<std::uint8_t>;

ElementAssignment record(std::uint8_t mode, std::uint8_t status, std::uint8_t data1,
                         std::uint8_t data2, std::string explain,
                         std::array<std::uint8_t, 8> tail = {}) {
    return {mode, status, data1, data2, std::move(explain), tail};
}

// A preset whose image holds top bits, cut and padded texts, both SysEx cases and records on
// the block boundaries checked below.
Preset knownPreset() {
    Preset p;
    p.Name = "\xF0"
             "ab\x7F\x80"
             "cdefgh";
    p.FaderLimit = {300, -1};
    p.VPotLimit = {-255, 255};
    p.Elements[0].Daw = record(0x10, 0xB0, 7, 100, "Volume");
    p.Elements[0].Midi =
        record(0x80, 0xF0, 0x7E, 0x7F, "hidden", {0x01, 0x80, 0xFF, 0xF0, 0x7F, 0x00, 0xF7, 0x55});
    // The DAW half has no SysEx case: its label goes out even under status F0.
    p.Elements[1].Daw = record(0x00, 0xF0, 0x01, 0x02, "abc", {9, 9, 9, 9, 9, 9, 9, 9});
    p.Elements[1].Midi = record(0x80, 0xFF, 0x05, 0x45, "Go", {9, 9, 9, 9, 9, 9, 9, 9});
    p.Elements[41].Midi = record(0x00, 0xF0, 0x43, 0x10, "", {0x4C, 0x00, 0x80, 0xFF, 0xF7});
    p.Elements[42].Daw = record(0x10, 0xB1, 0x07, 0x64, "Vol");
    p.Elements[55].Daw = record(0x00, 0x9F, 0x3C, 0x7F, "12345678XYZ");
    p.Elements[55].Midi = record(0x80, 0x00, 0x00, 0x00, "");
    return p;
}

DeviceDump build(const Preset& p) {
    DumpResult r = BuildDeviceDump(p);
    EXPECT_TRUE(r.image.has_value()) << r.error;
    return r.image.value_or(DeviceDump{});
}

Bytes slice(const DeviceDump& image, std::size_t offset, std::size_t n) {
    return Bytes(image.begin() + offset, image.begin() + offset + n);
}

Bytes blanks(std::size_t n) {
    return Bytes(n, 0x20);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Reads the blocks back the way the surface does: by address, not by position.
DeviceDump decode(const DumpBlocks& blocks) {
    DeviceDump image{};
    std::set<int> seen;
    for (const DumpBlock& b : blocks) {
        const int address = 128 * (b[9] >> 4) + b[8];
        if (address != 1023 && address >= 191) {
            ADD_FAILURE() << "address " << address << " outside the image";
            continue;
        }
        const int index = address == 1023 ? 191 : address;
        EXPECT_TRUE(seen.insert(index).second) << "address " << address << " twice";
        EXPECT_EQ(b[14] & 0xF0, 0);
        for (int k = 0; k < 4; ++k) {
            image[8 * index + k] = static_cast<std::uint8_t>(b[10 + k] | ((b[9] >> k) & 1) << 7);
            image[8 * index + 4 + k] =
                static_cast<std::uint8_t>(b[15 + k] | ((b[14] >> k) & 1) << 7);
        }
    }
    EXPECT_EQ(seen.size(), 192u);
    return image;
}

} // namespace

TEST(DeviceDump, KnownPresetImage) {
    const DeviceDump image = build(knownPreset());

    EXPECT_EQ(slice(image, 0, 11),
              (Bytes{0xF0, 0x61, 0x62, 0x7F, 0x80, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68}));
    EXPECT_EQ(slice(image, 11, 8), (Bytes{0x01, 0x2C, 0x00, 0xFF, 0x00, 0x01, 0x00, 0xFF}));
    EXPECT_EQ(slice(image, 19, 24),
              concat({{0x10, 0xB0, 0x07, 0x64, 'V', 'o', 'l', 'u', 'm', 'e'},
                      blanks(2),
                      {0x80, 0xF0, 0x7E, 0x7F, 0x01, 0x80, 0xFF, 0xF0, 0x7F, 0x00, 0xF7, 0x55}}));
    EXPECT_EQ(slice(image, 43, 24), concat({{0x00, 0xF0, 0x01, 0x02, 'a', 'b', 'c'},
                                            blanks(5),
                                            {0x80, 0xFF, 0x05, 0x45, 'G', 'o'},
                                            blanks(6)}));
    EXPECT_EQ(slice(image, 1339, 24),
              concat({{0x00, 0x9F, 0x3C, 0x7F, '1', '2', '3', '4', '5', '6', '7', '8'},
                      {0x80, 0x00, 0x00, 0x00},
                      blanks(8)}));
    EXPECT_EQ(slice(image, 1363, 173), Bytes(173, 0xFF));

    // Every element left alone is four zeros and a blank label in both halves.
    const Bytes empty = concat({Bytes(4, 0), blanks(8), Bytes(4, 0), blanks(8)});
    for (int e : {2, 17, 40, 43, 54})
        EXPECT_EQ(slice(image, 19 + 24 * static_cast<std::size_t>(e), 24), empty) << e;

    EXPECT_EQ(build(knownPreset()), image);
}

TEST(DeviceDump, TextFields) {
    const struct {
        std::string name;
        Bytes field;
    } names[] = {
        {"", blanks(11)},
        {"abcdefghij", concat({{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'}, blanks(1)})},
        {"abcdefghijk", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k'}},
        {"abcdefghijkl", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k'}},
        {"\xE9t\xE9", concat({{0xE9, 't', 0xE9}, blanks(8)})},
    };
    for (const auto& c : names) {
        Preset p;
        p.Name = c.name;
        EXPECT_EQ(slice(build(p), 0, 11), c.field) << c.name;
    }

    // A long name stays whole in the preset; the limits after it are not overwritten.
    Preset p;
    p.Name = std::string(20, 'N');
    p.FaderLimit[0] = 0x0102;
    const DeviceDump image = build(p);
    EXPECT_EQ(p.Name.size(), 20u);
    EXPECT_EQ(image[11], 0x01);
    EXPECT_EQ(image[12], 0x02);

    // An embedded zero byte is data, not an end.
    Preset z;
    z.Elements[3].Midi.Explain = std::string("a\0b", 3);
    EXPECT_EQ(slice(build(z), 19 + 24 * 3 + 16, 8), concat({{'a', 0x00, 'b'}, blanks(5)}));
}

TEST(DeviceDump, SysExTailOnlyInMidiHalf) {
    Preset p;
    const std::array<std::uint8_t, 8> tail{0x80, 0x81, 0xFE, 0xFF, 0x00, 0x7F, 0xF7, 0xF0};
    p.Elements[20].Midi = record(0x00, 0xF0, 0x43, 0x10, "label", tail);
    p.Elements[20].Daw = record(0x00, 0xF0, 0x43, 0x10, "daw", tail);
    const DeviceDump image = build(p);
    const std::size_t start = 19 + 24 * 20;
    EXPECT_EQ(slice(image, start + 16, 8), Bytes(tail.begin(), tail.end()));
    EXPECT_EQ(slice(image, start + 4, 8), concat({{'d', 'a', 'w'}, blanks(5)}));

    // The same record as a keystroke carries its label instead.
    p.Elements[20].Midi.Status = kStatusKeyboard;
    EXPECT_EQ(slice(build(p), start + 16, 8), concat({{'l', 'a', 'b', 'e', 'l'}, blanks(3)}));
}

TEST(DeviceDump, Limits) {
    const struct {
        std::int16_t value;
        std::uint8_t high;
        std::uint8_t low;
    } encoded[] = {
        {0, 0x00, 0x00},     {255, 0x00, 0xFF}, {256, 0x01, 0x00},  {300, 0x01, 0x2C},
        {32767, 0x7F, 0xFF}, {-1, 0x00, 0xFF},  {-255, 0x00, 0x01}, {-128, 0x00, 0x80},
    };
    for (const auto& c : encoded) {
        for (int field = 0; field < 4; ++field) {
            Preset p;
            (field < 2 ? p.FaderLimit : p.VPotLimit)[field % 2] = c.value;
            const DeviceDump image = build(p);
            const std::size_t at = 11 + 2 * static_cast<std::size_t>(field);
            EXPECT_EQ(image[at], c.high) << c.value << " field " << field;
            EXPECT_EQ(image[at + 1], c.low) << c.value << " field " << field;
        }
    }

    const struct {
        int field;
        std::int16_t value;
        std::string error;
    } refused[] = {
        {0, -300, "Fader Limit value 1 is -300: outside -255..32767"},
        {1, -256, "Fader Limit value 2 is -256: outside -255..32767"},
        {2, -32768, "V_Pot Limit value 1 is -32768: outside -255..32767"},
        {3, -257, "V_Pot Limit value 2 is -257: outside -255..32767"},
    };
    for (const auto& c : refused) {
        Preset p;
        (c.field < 2 ? p.FaderLimit : p.VPotLimit)[c.field % 2] = c.value;
        const DumpResult r = BuildDeviceDump(p);
        EXPECT_FALSE(r.image.has_value()) << c.value;
        EXPECT_EQ(r.error, c.error);
    }
}

TEST(DumpBlocks, KnownBlocks) {
    const DumpBlocks blocks = makeDumpBlocks(build(knownPreset()), 3);
    const struct {
        int index;
        DumpBlock bytes;
    } cases[] = {
        // 0xF0 as d0 goes out as 0x70 with bit 0 of offset 9; 0x7F stays as it is.
        {0, {0xF0, 0x7D, 0x12, 0x34, 0x10, 0x02, 0x21, 0x02, 0x00, 0x01,
             0x70, 0x61, 0x62, 0x7F, 0x01, 0x00, 0x63, 0x64, 0x65, 0xF7}},
        // Name bytes 8..10, both Fader limits, the high byte of the first V-Pot limit.
        {1, {0xF0, 0x7D, 0x12, 0x34, 0x10, 0x02, 0x21, 0x02, 0x01, 0x00,
             0x66, 0x67, 0x68, 0x01, 0x04, 0x2C, 0x00, 0x7F, 0x00, 0xF7}},
        {127, {0xF0, 0x7D, 0x12, 0x34, 0x10, 0x02, 0x21, 0x02, 0x7F, 0x01,
               0x70, 0x43, 0x10, 0x4C, 0x0E, 0x00, 0x00, 0x7F, 0x77, 0xF7}},
        {128, {0xF0, 0x7D, 0x12, 0x34, 0x10, 0x02, 0x21, 0x02, 0x00, 0x10,
               0x00, 0x00, 0x00, 0x10, 0x01, 0x31, 0x07, 0x64, 0x56, 0xF7}},
        {190, {0xF0, 0x7D, 0x12, 0x34, 0x10, 0x02, 0x21, 0x02, 0x3E, 0x1F,
               0x7F, 0x7F, 0x7F, 0x7F, 0x0F, 0x7F, 0x7F, 0x7F, 0x7F, 0xF7}},
        {191, {0xF0, 0x7D, 0x12, 0x34, 0x10, 0x02, 0x21, 0x02, 0x7F, 0x7F,
               0x7F, 0x7F, 0x7F, 0x7F, 0x0F, 0x7F, 0x7F, 0x7F, 0x7F, 0xF7}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(blocks[static_cast<std::size_t>(c.index)], c.bytes) << "block " << c.index;
        EXPECT_EQ(makeDumpBlock(build(knownPreset()), c.index, 3), c.bytes) << c.index;
    }
}

TEST(DumpBlocks, SlotByte) {
    const DeviceDump image = build(knownPreset());
    for (int slot = 1; slot <= 8; ++slot)
        for (const DumpBlock& b : makeDumpBlocks(image, slot))
            EXPECT_EQ(b[7], slot - 1) << "slot " << slot;

    EXPECT_THROW(makeDumpBlock(image, 0, 0), std::out_of_range);
    EXPECT_THROW(makeDumpBlock(image, 0, 9), std::out_of_range);
    EXPECT_THROW(makeDumpBlock(image, -1, 1), std::out_of_range);
    EXPECT_THROW(makeDumpBlock(image, 192, 1), std::out_of_range);
}

TEST(DumpBlocks, EveryImageRoundTrips) {
    std::vector<DeviceDump> images{build(Preset{}), build(knownPreset())};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 20; ++n) {
        DeviceDump image;
        for (auto& b : image)
            b = static_cast<std::uint8_t>(byte(random));
        images.push_back(image);
    }
    images.push_back([] {
        DeviceDump all;
        all.fill(0xFF);
        return all;
    }());

    for (const DeviceDump& image : images) {
        const DumpBlocks blocks = makeDumpBlocks(image, 8);
        for (const DumpBlock& b : blocks) {
            EXPECT_TRUE(isWellFormedBlock(b));
            EXPECT_EQ(Bytes(b.begin(), b.begin() + 7),
                      (Bytes{0xF0, 0x7D, 0x12, 0x34, 0x10, 0x02, 0x21}));
        }
        EXPECT_EQ(decode(blocks), image);
    }
}

TEST(DumpBlocks, WellFormedCheck) {
    const DumpBlock good = makeDumpBlock(build(knownPreset()), 0, 1);
    ASSERT_TRUE(isWellFormedBlock(good));
    const struct {
        std::size_t offset;
        std::uint8_t value;
    } faults[] = {{0, 0xF1}, {0, 0x7D}, {19, 0x7F}, {19, 0xF0}, {7, 0x80}, {12, 0xF7}, {18, 0xFF}};
    for (const auto& f : faults) {
        DumpBlock bad = good;
        bad[f.offset] = f.value;
        EXPECT_FALSE(isWellFormedBlock(bad)) << f.offset << " = " << int(f.value);
    }
}
