// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qob {

inline constexpr int kDumpBytes = 1536;
inline constexpr int kDumpBlocks = 192;
inline constexpr int kDumpBlockBytes = 20;
inline constexpr int kDumpRecordBytes = 24;
inline constexpr int kDumpRecordsOffset = 19;
inline constexpr int kDumpFillerOffset = 1363;
inline constexpr std::uint8_t kSysExStart = 0xF0;
inline constexpr int kDumpNameBytes = 11;
inline constexpr int kDumpExplainBytes = 8;
inline constexpr std::uint8_t kDumpTextPad = 0x20;
inline constexpr std::uint8_t kDumpFiller = 0xFF;
inline constexpr int kDumpBlockDataBytes = 8;
// Limits are sent as v / 256 and v & 0xFF: below -255 the high byte would go negative.
inline constexpr int kDumpLimitMin = -255;
inline constexpr int kDumpLimitMax = 32767;
inline constexpr int kFirstPresetSlot = 1;
inline constexpr int kLastPresetSlot = 8;

using DeviceDump = std::array<std::uint8_t, kDumpBytes>;
using DumpBlock = std::array<std::uint8_t, kDumpBlockBytes>;
using DumpBlocks = std::array<DumpBlock, kDumpBlocks>;

struct DumpResult {
    std::optional<DeviceDump> image; // set only on success
    std::string error;               // names the field, the value and the range -255..32767
};

DumpResult BuildDeviceDump(const Preset& preset);

// Block i (0..191) of the image for preset slot 1..8; either outside its range throws
// std::out_of_range, since it would give a message the surface cannot parse.
DumpBlock makeDumpBlock(const DeviceDump& image, int block, int slot);
DumpBlocks makeDumpBlocks(const DeviceDump& image, int slot);

// 20 bytes, F0 ... F7, every byte between below 0x80.
bool isWellFormedBlock(const DumpBlock& block);

} // namespace qob
