// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes either fail to load or give a preset whose written form reads back and writes again
// to the very same bytes.
#include "model/PresetFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const qob::ReadResult first = qob::readPreset(bytes);
    if (!first.preset) {
        if (first.line <= 0 || first.detail.empty()) {
            std::fprintf(stderr, "failure without a line or detail\n");
            std::abort();
        }
        return 0;
    }
    const std::string written = qob::writePreset(*first.preset);
    const qob::ReadResult again = qob::readPreset(written);
    if (!again.preset) {
        std::fprintf(stderr, "written preset does not load: %s\n", qob::failureText(again).c_str());
        std::abort();
    }
    if (qob::writePreset(*again.preset) != written) {
        std::fprintf(stderr, "written preset does not write back the same bytes\n");
        std::abort();
    }
    return 0;
}
