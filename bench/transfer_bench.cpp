// SPDX-License-Identifier: GPL-3.0-or-later
// The whole transfer through a JACK server (run it under scripts/with-jack.sh, or
// scripts/with-pipewire.sh): the gaps between blocks on the receiver's frame clock, first to
// last block, the clock-paced path of the ALSA port, and how long the editor's event loop
// stalls while a send runs.
#include "bench/LoopStall.h"
#include "device/DeviceDump.h"
#include "device/DumpTransfer.h"
#include "device/RtMidiPort.h"
#include "model/PresetFile.h"
#include "tests/support/FakeMidi.h"
#include "tests/support/JackReceiver.h"
#include "ui/main/frmMain.h"
#include "ui/midisetup/DumpSender.h"
#include "ui/midisetup/MIDISetupForm.h"
#include "ui/midisetup/MidiCalls.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <unistd.h>

using namespace qob;
using namespace std::chrono_literals;

namespace {

const QString kDefault = QStringLiteral(QOB_SOURCE_DIR "/resources/Default.QOB");
constexpr int kRuns = 3;

double ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string receiverName() {
    return "qob-bench-receiver-" + std::to_string(getpid());
}

DumpBlocks defaultBlocks() {
    Preset preset;
    loadPresetFile(kDefault, preset);
    return makeDumpBlocks(*BuildDeviceDump(preset).image, 1);
}

// Gaps between consecutive blocks on the receiver's frame clock, in ms.
std::vector<double> frameGaps(const std::vector<test::JackReceiver::Event>& events,
                              std::size_t from, double rate) {
    std::vector<double> gaps;
    for (std::size_t i = from + 1; i < events.size(); ++i)
        gaps.push_back((events[i].frame - events[i - 1].frame) * 1000.0 / rate);
    return gaps;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_TransferOverJack(benchmark::State& state) {
    test::JackReceiver receiver(receiverName());
    if (!receiver.ok()) {
        state.SkipWithError(("no JACK receiver: " + receiver.error()).c_str());
        return;
    }
    const auto service = makeRtMidiService(MidiApiChoice::Jack);
    const PortListing listing = service->listPorts();
    const auto it = std::find(listing.names.begin(), listing.names.end(), receiver.portName());
    if (it == listing.names.end()) {
        state.SkipWithError("the receiver is not listed");
        return;
    }
    const DumpBlocks blocks = defaultBlocks();
    const double rate = receiver.sampleRate();
    std::vector<double> gaps;
    double firstToLast = 0;
    for (auto _ : state) {
        OpenResult opened = service->open(static_cast<int>(it - listing.names.begin()));
        if (!opened.port) {
            state.SkipWithError(opened.status.detail.c_str());
            return;
        }
        const std::size_t before = receiver.events().size();
        std::atomic<bool> cancel{false};
        const TransferOutcome outcome = transferDump(blocks, *opened.port, cancel);
        opened.port->close();
        if (!outcome.sent()) {
            state.SkipWithError(outcome.error.c_str());
            return;
        }
        state.SetIterationTime(ms(outcome.end - outcome.start) / 1000.0);
        receiver.waitFor(before + kDumpBlocks, 2s);
        const auto events = receiver.events();
        const std::vector<double> run = frameGaps(events, before, rate);
        gaps.insert(gaps.end(), run.begin(), run.end());
        if (events.size() > before)
            firstToLast =
                std::max(firstToLast, (events.back().frame - events[before].frame) * 1000.0 / rate);
    }
    if (gaps.empty())
        return;
    state.counters["gap_min_ms"] = *std::min_element(gaps.begin(), gaps.end());
    state.counters["gap_median_ms"] = median(gaps);
    state.counters["gap_max_ms"] = *std::max_element(gaps.begin(), gaps.end());
    state.counters["first_to_last_max_ms"] = firstToLast;
    state.counters["delivered"] = static_cast<double>(receiver.messages().size());
    // A server without realtime scheduling drops a cycle's MIDI when it misses the cycle.
    state.counters["xruns"] = receiver.xruns();
}
BENCHMARK(BM_TransferOverJack)->Iterations(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);

// The pacing an ALSA port uses, on the real clock, into a recording port: how close the
// scheduler lets the gaps come to the pause.
void BM_ClockPacedTransfer(benchmark::State& state) {
    const DumpBlocks blocks = defaultBlocks();
    std::vector<double> gaps;
    for (auto _ : state) {
        test::RecordingPort port;
        std::atomic<bool> cancel{false};
        const TransferOutcome outcome = transferDump(blocks, port, cancel);
        state.SetIterationTime(ms(outcome.end - outcome.start) / 1000.0);
        const auto sent = port.sent();
        for (std::size_t i = 1; i < sent.size(); ++i)
            gaps.push_back(ms(sent[i].at - sent[i - 1].at));
    }
    state.counters["gap_min_ms"] = *std::min_element(gaps.begin(), gaps.end());
    state.counters["gap_median_ms"] = median(gaps);
    state.counters["gap_max_ms"] = *std::max_element(gaps.begin(), gaps.end());
}
BENCHMARK(BM_ClockPacedTransfer)->Iterations(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);

// The editor sends through its dialog's port while a zero-interval timer measures the longest
// gap between two turns of the event loop.
void BM_EditorEventLoopDuringSend(benchmark::State& state) {
    test::JackReceiver receiver(receiverName() + "-gui");
    if (!receiver.ok()) {
        state.SkipWithError(("no JACK receiver: " + receiver.error()).c_str());
        return;
    }
    Preset preset;
    EditorState editor;
    frmMain window(preset, editor);
    window.seams().showMessage = [&](const QString& text, const QString&) {
        state.SkipWithError(text.toStdString().c_str());
    };
    window.seams().midiService = [] { return makeRtMidiService(MidiApiChoice::Jack); };
    window.startUp(QStringLiteral(QOB_SOURCE_DIR "/resources"));
    window.show();
    window.showMidiSetupForm();
    // The dialog asks the service on a thread of its own; wait for each answer.
    auto* calls = window.findChild<MidiCalls*>();
    calls->waitUntilIdle(20000);
    auto* form = window.findChild<MIDISetupForm*>();
    auto* list = form->findChild<QComboBox*>(QStringLiteral("Combo_MIDI_OUT"));
    list->setCurrentIndex(list->findText(QString::fromStdString(receiver.portName())));
    form->cmdOK_Click();
    calls->waitUntilIdle(20000);
    if (!editor.MidiOutHandle) {
        state.SkipWithError("the receiver's port did not open");
        return;
    }

    double worstStall = 0;
    for (auto _ : state) {
        const bench::LoopStall stall(0);
        window.SendDeviceDump();
        const auto* sender = window.findChild<DumpSender*>();
        while (sender && sender->isRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.SetIterationTime(stall.elapsedSeconds());
        worstStall = std::max(worstStall, stall.worstMs());
    }
    window.closeMidiPort();
    calls->waitUntilIdle(20000);
    state.counters["loop_stall_max_ms"] = worstStall;
}
BENCHMARK(BM_EditorEventLoopDuringSend)
    ->Iterations(kRuns)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
