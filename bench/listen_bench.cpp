// SPDX-License-Identifier: GPL-3.0-or-later
// Listening: a JACK event to the line `qob monitor` prints, a dense stream through it for ten
// seconds, and the editor following a sweep (message to panel, and the event loop meanwhile).
// The JACK parts run under scripts/with-jack.sh.
#include "bench/LoopStall.h"
#include "tests/support/FakeMidi.h"
#include "tests/support/JackSender.h"
#include "ui/main/frmMain.h"
#include "ui/midisetup/MidiListener.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace qob;
using namespace qob::test;
using namespace std::chrono_literals;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// `qob monitor` listening to a sender of ours, connected.
struct Monitor {
    JackSender sender{"qob-bench-sender-" + std::to_string(getpid())};
    QProcess process;

    bool start(QStringList args, bool discardOutput) {
        if (!sender.ok())
            return false;
        if (discardOutput)
            process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral(QOB_CLI),
                      QStringList{"monitor", "--api", "jack", "--port",
                                  QString::fromStdString(sender.portName())} +
                          args);
        for (int i = 0; i < 500 && sender.connections() == 0; ++i)
            QThread::msleep(10);
        return sender.connections() > 0;
    }
};

// From the frame an event went out at to its line on our side of the pipe.
void BM_JackEventToPrintedLine(benchmark::State& state) {
    constexpr int kEvents = 200;
    Monitor m;
    if (!m.start({"--count", QString::number(kEvents)}, false)) {
        state.SkipWithError("no JACK server, or qob monitor did not connect");
        return;
    }
    std::vector<double> latencies;
    for (auto _ : state) {
        for (int i = 0; i < kEvents; ++i) {
            m.sender.send({{0, {0xB0, 7, static_cast<std::uint8_t>(i % 128)}}}, 2s);
            while (!m.process.canReadLine() && m.process.waitForReadyRead(2000)) {
            }
            const std::uint64_t now = JackSender::now();
            m.process.readLine();
            latencies.push_back(static_cast<double>(now - m.sender.timeOf(0)) / 1000.0);
            QThread::msleep(5);
        }
    }
    m.process.waitForFinished(5000);
    state.counters["latency_median_ms"] = median(latencies);
    state.counters["latency_max_ms"] = *std::max_element(latencies.begin(), latencies.end());
    state.counters["period_ms"] =
        qEnvironmentVariableIntValue("QOB_JACK_PERIOD") * 1000.0 / m.sender.sampleRate();
}
BENCHMARK(BM_JackEventToPrintedLine)->Iterations(1)->Unit(benchmark::kMillisecond);

// 20,000 three-byte messages a second for ten seconds, at the default ring size.
void BM_JackDenseStreamForTenSeconds(benchmark::State& state) {
    constexpr int kPerSecond = 20000;
    constexpr int kSeconds = 10;
    constexpr int kTotal = kPerSecond * kSeconds;
    Monitor m;
    if (!m.start({"--count", QString::number(kTotal), "--seconds", "20"}, true)) {
        state.SkipWithError("no JACK server, or qob monitor did not connect");
        return;
    }
    std::vector<JackSender::Event> stream;
    const std::uint32_t rate = m.sender.sampleRate();
    for (int i = 0; i < kTotal; ++i)
        stream.push_back({static_cast<std::uint32_t>(std::int64_t{i} * rate / kPerSecond),
                          {0xB0, static_cast<std::uint8_t>(i % 128), 64}});
    for (auto _ : state)
        m.sender.send(std::move(stream), 30s);
    m.process.waitForFinished(30000);
    const QString said = QString::fromUtf8(m.process.readAllStandardError());
    const QRegularExpressionMatch counts =
        QRegularExpression(QStringLiteral("(\\d+) messages?, .*, (\\d+) dropped")).match(said);
    state.counters["received"] = counts.captured(1).toDouble();
    state.counters["dropped"] = counts.captured(2).toDouble();
    state.counters["lost"] = kTotal - counts.captured(1).toDouble();
}
BENCHMARK(BM_JackDenseStreamForTenSeconds)->Iterations(1)->Unit(benchmark::kMillisecond);

// A sweep at 1,000 messages a second over the Faders, and the longest pause of the window's
// event loop meanwhile; then single messages: how long from arrival to the panel showing one.
void BM_EditorFollowsASweep(benchmark::State& state) {
    Preset preset;
    for (int i = 0; i < 8; ++i)
        preset.Elements[8 + i].Daw = {0, static_cast<std::uint8_t>(0xB0 + i), 7, 0, {}, {}};
    EditorState editor;
    frmMain window(preset, editor);
    window.show();
    auto input = std::make_shared<FakeInput>("sweep");
    auto* listener = window.findChild<MidiListener*>();
    listener->listen(input);
    const auto seconds = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    std::vector<double> latencies;
    // Connected after the window's own slot: runs once the panel has been updated.
    QObject::connect(listener, &MidiListener::heard, [&](const HeardMessage& m) {
        latencies.push_back((seconds() - m.time) * 1000.0);
    });
    double worstStall = 0;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::thread sweep([&] {
            for (int i = 0; i < 3000; ++i) {
                input->push({static_cast<std::uint8_t>(0xB0 + i / 50 % 8), 7,
                             static_cast<std::uint8_t>(i % 128)},
                            seconds());
                std::this_thread::sleep_for(1ms);
            }
            done = true;
        });
        {
            const bench::LoopStall stall(1);
            while (!done)
                QTest::qWait(5);
            worstStall = std::max(worstStall, stall.worstMs());
        }
        sweep.join();
        // Single messages now and then: each waits for the next frame.
        latencies.clear();
        for (int i = 0; i < 100; ++i) {
            input->push({0xB3, 7, static_cast<std::uint8_t>(i)}, seconds());
            QTest::qWait(23);
        }
    }
    state.counters["single_message_to_panel_median_ms"] = median(latencies);
    state.counters["single_message_to_panel_max_ms"] =
        *std::max_element(latencies.begin(), latencies.end());
    state.counters["loop_stall_max_ms"] = worstStall;
}
BENCHMARK(BM_EditorFollowsASweep)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
