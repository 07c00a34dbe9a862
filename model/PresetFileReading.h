// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/PresetFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// How loadPresetFile reads: exposed for tests that change a file between two chunks.
namespace qob::detail {

// Big enough that a preset file comes in one read, small beside the preset itself.
inline constexpr std::size_t kReadChunkBytes = 64 * 1024;

struct ChunkedRead {
    std::size_t chunkBytes = kReadChunkBytes;
    // Runs after each chunk with the number of bytes read so far.
    std::function<void(std::uint64_t bytesRead)> afterChunk;
};

FileResult loadPresetFile(const QString& path, Preset& preset, const ChunkedRead& how);

} // namespace qob::detail
