// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of one redraw of the information panel.
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace qob;

namespace {

// Every step shows another element, so every label really changes.
void BM_DisplayCurrentElement_EachElement(benchmark::State& s) {
    Preset preset;
    EditorState state;
    frmMain window(preset, state);
    window.startUp(QStringLiteral(QOB_SOURCE_DIR "/resources"));
    window.show();
    int element = 0;
    for (auto _ : s) {
        state.CurrentElement = static_cast<std::int16_t>(element);
        element = (element + 1) % kElementCount;
        window.Display_Current_Element();
    }
}
BENCHMARK(BM_DisplayCurrentElement_EachElement)->Unit(benchmark::kMicrosecond);

// Keystroke, SysEx and event records one after the other: the visibilities flip each time.
void BM_DisplayCurrentElement_AlternatingKinds(benchmark::State& s) {
    Preset preset;
    preset.Name = "Bench";
    preset.Elements[0].Daw = {ElementMode::Drawbar, 0xB0, 7, 100, "Volume", {}};
    preset.Elements[1].Daw = {0, kStatusKeyboard, 7, 44, "Space", {}};
    preset.Elements[2].Daw = {0, kStatusSysEx, 0x43, 0x10, "", {0x4C, 0, 0, 0x7E, 0, 1, 2, 3}};
    EditorState state;
    frmMain window(preset, state);
    window.show();
    int element = 0;
    for (auto _ : s) {
        state.CurrentElement = static_cast<std::int16_t>(element);
        element = (element + 1) % 3;
        window.Display_Current_Element();
    }
}
BENCHMARK(BM_DisplayCurrentElement_AlternatingKinds)->Unit(benchmark::kMicrosecond);

// Nothing changes: what a redraw after a dialog Cancel costs.
void BM_DisplayCurrentElement_Unchanged(benchmark::State& s) {
    Preset preset;
    EditorState state;
    frmMain window(preset, state);
    window.startUp(QStringLiteral(QOB_SOURCE_DIR "/resources"));
    window.show();
    for (auto _ : s)
        window.Display_Current_Element();
}
BENCHMARK(BM_DisplayCurrentElement_Unchanged)->Unit(benchmark::kMicrosecond);

} // namespace
