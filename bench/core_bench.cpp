// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceDump.h"
#include "model/PresetFile.h"
#include "vocab/ElementNames.h"

#include <benchmark/benchmark.h>

using namespace qob;

namespace {

// Every element assigned in both layers with a full label, keys with keystrokes and SysEx in
// their MIDI layer: the most a file or an image ever has to carry.
Preset fullPreset() {
    Preset p;
    p.Name = "Full Preset";
    p.FaderLimit = {16383, -255};
    p.VPotLimit = {127, 255};
    for (int e = 0; e < kElementCount; ++e) {
        ElementSlot& slot = p.Elements[e];
        const auto b = static_cast<std::uint8_t>(e);
        slot.Daw = {ElementMode::Drawbar,
                    static_cast<std::uint8_t>(0xB0 | (e % 16)),
                    b,
                    static_cast<std::uint8_t>(127 - e),
                    "DAW " + std::to_string(e),
                    {}};
        slot.Midi = {ElementMode::Push, 0x90, b, 100, "Midi" + std::to_string(1000 + e), {}};
        if (isKey(e)) {
            if (e % 2 == 0) {
                slot.Midi.Status = kStatusKeyboard;
                slot.Midi.Data1 = 7;
                slot.Midi.Data2 = 44;
            } else {
                slot.Midi.Status = kStatusSysEx;
                slot.Midi.Data1 = 0x43;
                slot.Midi.Data2 = 0x10;
                slot.Midi.SysExTail = {0x4C, 0x00, 0x00, 0x7E, 0x00, 0x01, 0x02, kSysExEnd};
                slot.Midi.Explain.clear(); // a file does not carry it, so a load clears it
            }
        }
    }
    return p;
}

const Preset& benchPreset() {
    static const Preset preset = fullPreset();
    return preset;
}

void BM_LoadPreset(benchmark::State& state) {
    const std::string bytes = writePreset(benchPreset());
    const ReadResult check = readPreset(bytes);
    if (!check.preset || *check.preset != benchPreset()) {
        state.SkipWithError("the written preset does not read back equal");
        return;
    }
    for (auto _ : state) {
        ReadResult r = readPreset(bytes);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadPreset)->Unit(benchmark::kNanosecond);

void BM_SavePreset(benchmark::State& state) {
    const Preset& preset = benchPreset();
    for (auto _ : state) {
        std::string bytes = writePreset(preset);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_SavePreset)->Unit(benchmark::kNanosecond);

void BM_ImageAndBlocks(benchmark::State& state) {
    const Preset& preset = benchPreset();
    for (auto _ : state) {
        DumpResult r = BuildDeviceDump(preset);
        DumpBlocks blocks = makeDumpBlocks(*r.image, 8);
        benchmark::DoNotOptimize(blocks);
    }
}
BENCHMARK(BM_ImageAndBlocks)->Unit(benchmark::kNanosecond);

} // namespace
