// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceDump.h"
#include "model/ElementNames.h"
#include "model/PresetFile.h"
#include "model/PresetFileReading.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

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

constexpr std::int64_t kHugeFileBytes = 100LL * 1024 * 1024;

enum class Huge { PresetOnly, ValidThenJunk, Garbage, EndlessItem };

// Written once per run, with real bytes rather than holes: what a user might pick by mistake.
// PresetOnly is the plain preset file, for comparison.
QString hugeFile(Huge kind) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString::number(static_cast<int>(kind)));
    if (QFile::exists(path))
        return path;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    std::int64_t written = 0;
    if (kind == Huge::ValidThenJunk || kind == Huge::PresetOnly) {
        const std::string preset = writePreset(benchPreset());
        f.write(preset.data(), static_cast<qint64>(preset.size()));
        written = static_cast<std::int64_t>(preset.size());
        if (kind == Huge::PresetOnly)
            return path;
    }
    std::string block(1 << 20, '7');
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    while (written < kHugeFileBytes) {
        if (kind != Huge::EndlessItem) {
            for (char& c : block) {
                x ^= x << 13;
                x ^= x >> 7;
                x ^= x << 17;
                c = static_cast<char>(x);
            }
        }
        const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(block.size()),
                                              kHugeFileBytes - written);
        if (f.write(block.data(), n) != n)
            return {};
        written += n;
    }
    return path;
}

// Load time from a file; the counters say how much of it was read and the process's peak RSS.
void BM_LoadFile(benchmark::State& state, Huge kind) {
    const QString path = hugeFile(kind);
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the 100 MB file");
        return;
    }
    std::uint64_t bytesRead = 0;
    detail::ChunkedRead how;
    how.afterChunk = [&](std::uint64_t read) { bytesRead = read; };
    bool loaded = false;
    for (auto _ : state) {
        Preset preset;
        loaded = detail::loadPresetFile(path, preset, how).ok;
        benchmark::DoNotOptimize(preset);
    }
    if (loaded != (kind == Huge::ValidThenJunk || kind == Huge::PresetOnly))
        state.SkipWithError("unexpected load result");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["read_KiB"] = static_cast<double>(bytesRead) / 1024;
    state.counters["peak_RSS_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024;
}
BENCHMARK_CAPTURE(BM_LoadFile, preset_only, Huge::PresetOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadFile, preset_then_100MB_junk, Huge::ValidThenJunk)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadFile, garbage_100MB, Huge::Garbage)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadFile, endless_item_100MB, Huge::EndlessItem)
    ->Unit(benchmark::kMicrosecond);

} // namespace
