// SPDX-License-Identifier: GPL-3.0-or-later
// Where things stand in the device image and in a SysEx block: written once, for the code that
// builds a dump and the code that reads one back.
#pragma once

#include "device/DeviceDump.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace qob::dumplayout {

// Image layout.
inline constexpr std::size_t kNameOffset = 0;
inline constexpr std::size_t kLimitsOffset = 11;
inline constexpr std::size_t kLimitBytes = 2;

// Record layout: the DAW half, then the MIDI half, each 4 single bytes and 8 bytes of text or
// SysEx tail.
inline constexpr std::size_t kDawHalfOffset = 0;
inline constexpr std::size_t kMidiHalfOffset = 12;
inline constexpr std::size_t kHalfTailOffset = 4;

// Block layout.
inline constexpr std::array<std::uint8_t, 7> kBlockHeader{kSysExStart, 0x7D, 0x12, 0x34,
                                                          0x10,        0x02, 0x21};
inline constexpr std::size_t kSlotOffset = 7;
inline constexpr std::size_t kAddressLowOffset = 8;
inline constexpr std::size_t kAddressHighOffset =
    9; // high nibble address, low nibble top bits d0..d3
inline constexpr std::size_t kLowDataOffset = 10;
inline constexpr std::size_t kTopBitsHighOffset = 14; // top bits of d4..d7
inline constexpr std::size_t kHighDataOffset = 15;
inline constexpr std::size_t kEndOffset = 19;
inline constexpr std::size_t kDataGroupBytes = 4;
inline constexpr int kAddressLowBits = 7;
inline constexpr int kAddressHighShift = 4;
inline constexpr std::uint8_t kDataBitsMask = 0x7F;
inline constexpr int kTopBitShift = 7;
// The last block leaves the address sequence: it goes out as address 1023 (7F, 70).
inline constexpr int kLastBlockAddress = 1023;

// The address block 0..191 goes out with, and the block an address 0..190 or 1023 stands for.
constexpr int addressOfBlock(int block) {
    return block == kDumpBlocks - 1 ? kLastBlockAddress : block;
}
constexpr int blockOfAddress(int address) {
    return address == kLastBlockAddress ? kDumpBlocks - 1 : address;
}

} // namespace qob::dumplayout
