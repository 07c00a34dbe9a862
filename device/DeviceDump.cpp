// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceDump.h"

#include "device/DumpLayout.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

namespace qob {
namespace {

using namespace dumplayout;

void putText(DeviceDump& image, std::size_t offset, std::string_view text, std::size_t width) {
    const std::size_t n = std::min(text.size(), width);
    auto out = image.begin() + static_cast<std::ptrdiff_t>(offset);
    out = std::copy_n(reinterpret_cast<const std::uint8_t*>(text.data()), n, out);
    std::fill_n(out, width - n, kDumpTextPad);
}

void putLimit(DeviceDump& image, std::size_t offset, std::int16_t v) {
    // Division truncates toward zero, so -255..-1 get a high byte of 0.
    image[offset] = static_cast<std::uint8_t>(v / 256);
    image[offset + 1] = static_cast<std::uint8_t>(v & 0xFF);
}

void putHalf(DeviceDump& image, std::size_t offset, const ElementAssignment& a, bool sysExTail) {
    image[offset] = a.Mode;
    image[offset + 1] = a.Status;
    image[offset + 2] = a.Data1;
    image[offset + 3] = a.Data2;
    if (sysExTail)
        std::copy(a.SysExTail.begin(), a.SysExTail.end(),
                  image.begin() + static_cast<std::ptrdiff_t>(offset + kHalfTailOffset));
    else
        putText(image, offset + kHalfTailOffset, a.Explain, kDumpExplainBytes);
}

// Four data bytes with bit 7 cleared; returns their top bits as bits 0..3.
std::uint8_t putDataGroup(std::uint8_t* out, const std::uint8_t* data) {
    unsigned topBits = 0;
    for (std::size_t k = 0; k < kDataGroupBytes; ++k) {
        topBits |= static_cast<unsigned>(data[k] >> kTopBitShift) << k;
        out[k] = data[k] & kDataBitsMask;
    }
    return static_cast<std::uint8_t>(topBits);
}

void checkSlot(int slot) {
    if (slot < kFirstPresetSlot || slot > kLastPresetSlot)
        throw std::out_of_range("preset slot " + std::to_string(slot) + " outside 1..8");
}

// Every byte is written, so `out` may hold anything before.
void fillBlock(DumpBlock& out, const DeviceDump& image, int block, int slot) {
    std::copy(kBlockHeader.begin(), kBlockHeader.end(), out.begin());
    out[kSlotOffset] = static_cast<std::uint8_t>(slot - kFirstPresetSlot);
    const int address = addressOfBlock(block);
    out[kAddressLowOffset] = static_cast<std::uint8_t>(address & ((1 << kAddressLowBits) - 1));
    const std::uint8_t* data = image.data() + static_cast<std::size_t>(block) * kDumpBlockDataBytes;
    const std::uint8_t lowTopBits = putDataGroup(&out[kLowDataOffset], data);
    out[kAddressHighOffset] =
        static_cast<std::uint8_t>(((address >> kAddressLowBits) << kAddressHighShift) | lowTopBits);
    out[kTopBitsHighOffset] = putDataGroup(&out[kHighDataOffset], data + kDataGroupBytes);
    out[kEndOffset] = kSysExEnd;
}

} // namespace

DumpResult BuildDeviceDump(const Preset& preset) {
    struct Limit {
        std::string_view field;
        int number;
        std::int16_t value;
    };
    const std::array<Limit, 4> limits{{
        {"Fader Limit", 1, preset.FaderLimit[0]},
        {"Fader Limit", 2, preset.FaderLimit[1]},
        {"V_Pot Limit", 1, preset.VPotLimit[0]},
        {"V_Pot Limit", 2, preset.VPotLimit[1]},
    }};
    for (const auto& limit : limits)
        if (limit.value < kDumpLimitMin)
            return {std::nullopt,
                    std::string(limit.field) + " value " + std::to_string(limit.number) + " is " +
                        std::to_string(limit.value) + ": outside " + std::to_string(kDumpLimitMin) +
                        ".." + std::to_string(kDumpLimitMax)};

    DeviceDump image{};
    putText(image, kNameOffset, preset.Name, kDumpNameBytes);
    std::size_t p = kLimitsOffset;
    for (const auto& limit : limits) {
        putLimit(image, p, limit.value);
        p += kLimitBytes;
    }
    for (const ElementSlot& slot : preset.Elements) {
        putHalf(image, p + kDawHalfOffset, slot.Daw, false);
        putHalf(image, p + kMidiHalfOffset, slot.Midi, slot.Midi.Status == kStatusSysEx);
        p += kDumpRecordBytes;
    }
    std::fill(image.begin() + kDumpFillerOffset, image.end(), kDumpFiller);
    return {image, {}};
}

DumpBlock makeDumpBlock(const DeviceDump& image, int block, int slot) {
    if (block < 0 || block >= kDumpBlocks)
        throw std::out_of_range("dump block " + std::to_string(block) + " outside 0..191");
    checkSlot(slot);
    DumpBlock out;
    fillBlock(out, image, block, slot);
    return out;
}

DumpBlocks makeDumpBlocks(const DeviceDump& image, int slot) {
    checkSlot(slot);
    DumpBlocks blocks;
    for (int i = 0; i < kDumpBlocks; ++i)
        fillBlock(blocks[static_cast<std::size_t>(i)], image, i, slot);
    return blocks;
}

bool isWellFormedBlock(const DumpBlock& block) {
    return block.front() == kSysExStart && block.back() == kSysExEnd &&
           std::all_of(block.begin() + 1, block.end() - 1,
                       [](std::uint8_t b) { return b <= kDataBitsMask; });
}

} // namespace qob
