// SPDX-License-Identifier: GPL-3.0-or-later
// The whole transfer through a JACK server with the dummy driver (run it under
// scripts/with-jack.sh): its length against the 1.92 s floor, how late each block is handed
// over, and how long the editor's event loop stalls while a send runs.
#include "device/DeviceDump.h"
#include "device/DumpTransfer.h"
#include "device/RtMidiPort.h"
#include "model/PresetFile.h"
#include "tests/support/JackReceiver.h"
#include "ui/main/frmMain.h"
#include "ui/midisetup/DumpSender.h"
#include "ui/midisetup/MIDISetupForm.h"

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

// Notes when each block reaches the real port.
class TimedPort : public MidiOutPort {
public:
    explicit TimedPort(MidiOutPort& inner) : m_inner(inner) {}
    std::string name() const override { return m_inner.name(); }
    MidiStatus send(std::span<const std::uint8_t> message) override {
        handedAt.push_back(std::chrono::steady_clock::now());
        return m_inner.send(message);
    }
    MidiStatus close() override { return m_inner.close(); }
    std::vector<TransferTime> handedAt;

private:
    MidiOutPort& m_inner;
};

std::string receiverName() {
    return "qob-bench-receiver-" + std::to_string(getpid());
}

DumpBlocks defaultBlocks() {
    Preset preset;
    loadPresetFile(kDefault, preset);
    return makeDumpBlocks(*BuildDeviceDump(preset).image, 1);
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
    std::vector<double> lateness;
    double worstTotal = 0;
    for (auto _ : state) {
        OpenResult opened = service->open(static_cast<int>(it - listing.names.begin()));
        if (!opened.port) {
            state.SkipWithError(opened.status.detail.c_str());
            return;
        }
        TimedPort port(*opened.port);
        std::atomic<bool> cancel{false};
        const TransferOutcome outcome = transferDump(blocks, port, TransferClock::steady(), cancel);
        port.close();
        if (!outcome.sent()) {
            state.SkipWithError(outcome.error.c_str());
            return;
        }
        const double total = ms(outcome.end - outcome.start);
        state.SetIterationTime(total / 1000.0);
        worstTotal = std::max(worstTotal, total);
        for (std::size_t i = 0; i < port.handedAt.size(); ++i)
            lateness.push_back(
                ms(port.handedAt[i] - (outcome.start + static_cast<int>(i) * kBlockPause)));
    }
    std::sort(lateness.begin(), lateness.end());
    state.counters["total_max_ms"] = worstTotal;
    state.counters["late_median_ms"] = lateness[lateness.size() / 2];
    state.counters["late_max_ms"] = lateness.back();
    // Messages still on their way through the server's last cycle.
    receiver.waitFor(static_cast<std::size_t>(kRuns) * kDumpBlocks, 2s);
    state.counters["delivered"] = static_cast<double>(receiver.messages().size());
    // A server without realtime scheduling drops a cycle's MIDI when it misses the cycle.
    state.counters["xruns"] = receiver.xruns();
}
BENCHMARK(BM_TransferOverJack)->Iterations(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);

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
    auto* form = window.findChild<MIDISetupForm*>();
    auto* list = form->findChild<QComboBox*>(QStringLiteral("Combo_MIDI_OUT"));
    list->setCurrentIndex(list->findText(QString::fromStdString(receiver.portName())));
    form->cmdOK_Click();
    if (!editor.MidiOutHandle) {
        state.SkipWithError("the receiver's port did not open");
        return;
    }

    double worstStall = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        window.SendDeviceDump();
        const auto* sender = window.findChild<DumpSender*>();
        qint64 last = clock.nsecsElapsed();
        double stall = 0;
        QTimer tick;
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            stall = std::max(stall, (now - last) / 1e6);
            last = now;
        });
        tick.start();
        while (sender && sender->isRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        tick.stop();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        worstStall = std::max(worstStall, stall);
    }
    window.closeMidiPort();
    state.counters["loop_stall_max_ms"] = worstStall;
}
BENCHMARK(BM_EditorEventLoopDuringSend)
    ->Iterations(kRuns)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
