// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The shipped preset, and a preset's dump as the device receives it.
#include "device/DeviceDump.h"
#include "model/PresetFile.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace qob::test {

inline Preset defaultPreset() {
    Preset p;
    const FileResult r = loadPresetFile(kDefault, p);
    EXPECT_TRUE(r.ok) << r.detail;
    return p;
}

// The blocks that store `p` in `slot`; a preset the image cannot carry fails the test.
inline DumpBlocks blocksOf(const Preset& p, int slot) {
    const DumpResult r = BuildDeviceDump(p);
    EXPECT_TRUE(r.image.has_value()) << r.error;
    return makeDumpBlocks(r.image.value_or(DeviceDump{}), slot);
}

inline std::string bytesOf(const DumpBlock& b) {
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

// The blocks back to back, as a .syx file holds them.
inline std::string syxOf(const DumpBlocks& blocks) {
    std::string out;
    for (const DumpBlock& b : blocks)
        out += bytesOf(b);
    return out;
}

inline std::string syxOf(const Preset& p, int slot) {
    return syxOf(blocksOf(p, slot));
}

} // namespace qob::test
