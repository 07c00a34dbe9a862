// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes either fail to import with a reason, or give a preset whose dump is the very blocks
// that were read, and that a saved file keeps. The first byte picks the slot to import (0: none,
// 1..8: that slot).
#include "FuzzText.h"
#include "device/DumpImport.h"
#include "model/PresetFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using qob::fuzz::fail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    constexpr int kChoices = qob::kLastPresetSlot + 1;
    const int pick = data[0] % kChoices;
    const std::optional<int> slot = pick == 0 ? std::nullopt : std::optional<int>(pick);
    const std::string_view syx(reinterpret_cast<const char*>(data + 1), size - 1);

    const qob::DumpBlocksRead read = qob::readDumpBlocks(syx, slot);
    if (!read.blocks) {
        if (read.error.empty() || read.problem == qob::DumpImportProblem::None)
            fail("a refusal without a reason");
        return 0;
    }
    if (read.slot < qob::kFirstPresetSlot || read.slot > qob::kLastPresetSlot ||
        (slot && read.slot != *slot))
        fail("blocks of a slot that was not asked for");
    for (const qob::DumpBlock& block : *read.blocks)
        if (!qob::isWellFormedBlock(block))
            fail("a block that is not a well-formed message");

    const qob::DumpImport imported =
        qob::presetFromDeviceDump(qob::imageOfBlocks(*read.blocks), read.slot);
    if (!imported.preset) {
        if (imported.error.empty() || imported.problem != qob::DumpImportProblem::Image)
            fail("an image refused without a reason");
        return 0;
    }
    if (imported.preset->PresetIndex != read.slot)
        fail("the slot is not the preset's index");
    const qob::DumpResult rebuilt = qob::BuildDeviceDump(*imported.preset);
    if (!rebuilt.image)
        fail("an imported preset has no image");
    if (qob::makeDumpBlocks(*rebuilt.image, read.slot) != *read.blocks)
        fail("the imported preset does not give the blocks it was read from");

    const qob::ReadResult saved = qob::readPreset(qob::writePreset(*imported.preset));
    if (!saved.preset)
        fail("the imported preset does not load once saved");
    return 0;
}
