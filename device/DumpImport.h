// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a dump back: the SysEx blocks of one transfer into the device image, and the image
// into a preset. The inverse of makeDumpBlocks and BuildDeviceDump.
#pragma once

#include "device/DeviceDump.h"
#include "model/Preset.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qob {

// A capture bigger than this is refused unread: a whole transfer is 3840 bytes.
inline constexpr qint64 kMaxDumpFileBytes = 64LL * 1024 * 1024;

enum class DumpImportProblem {
    None,
    NoBlocks,     // no message carries our header
    Malformed,    // bad length, framing, data byte, slot byte or address
    Conflict,     // one address twice with different bytes
    SeveralSlots, // blocks for more than one slot and none was chosen
    NoSuchSlot,   // the chosen slot has no blocks
    Missing,      // an address of the transfer never came
    Image,        // the image holds what no preset gives (limits, filler)
    File,         // the file cannot be read
};

struct DumpBlocksRead {
    std::optional<DumpBlocks> blocks; // in address order (block 191 last); set only on success
    int slot = 0;                     // 1..8
    DumpImportProblem problem = DumpImportProblem::None;
    std::string error; // UTF-8; names the message, its byte offset and the block's address
};

// The blocks of one transfer in a .syx file as `qob syx` writes it or a MIDI monitor captures it:
// SysEx messages with another header and bytes between messages are skipped, the blocks may
// come in any order and a block may repeat with the same bytes. `slot` (1..8) picks one
// transfer when the file holds several; messages for other slots are then skipped unread.
DumpBlocksRead readDumpBlocks(std::string_view syx, std::optional<int> slot = std::nullopt);

// The image the blocks carry.
DeviceDump imageOfBlocks(const DumpBlocks& blocks);

struct DumpImport {
    std::optional<Preset> preset; // set only on success; PresetIndex is the dump's slot
    DumpImportProblem problem = DumpImportProblem::None;
    std::string error; // UTF-8
    // What the image cannot carry, and what a .qob file will not keep, one sentence each
    // (UTF-8, texts as they are, control characters included).
    std::vector<std::string> notes;
};

// The preset an image was built from, as far as the image tells: texts lose their padding
// blanks, the labels of MIDI-layer SysEx records are empty. BuildDeviceDump of the result gives
// `image` again. Refuses an image no preset gives (a limit's high byte above 0x7F, filler that
// is not 0xFF), naming the block.
DumpImport presetFromDeviceDump(const DeviceDump& image, int slot);

// readDumpBlocks and presetFromDeviceDump in one.
DumpImport importDeviceDump(std::string_view syx, std::optional<int> slot = std::nullopt);

// The same for a file: only a regular file of at most kMaxDumpFileBytes is read. The error
// starts with the path.
DumpImport importDumpFile(const QString& path, std::optional<int> slot = std::nullopt);

} // namespace qob
