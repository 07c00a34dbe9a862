// SPDX-License-Identifier: GPL-3.0-or-later
// qob ports, qob send and qob monitor: the commands that talk to the MIDI service.
#include "cli/Cli.h"
#include "device/ControlIndex.h"
#include "device/DumpTransfer.h"
#include "device/MidiInPort.h"
#include "device/MidiOutPort.h"
#include "model/ElementNames.h"
#include "vocab/ShortText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <unistd.h>

namespace qob::cli {
namespace {

// How long `send --port 0` gives the user to connect our own port to the surface.
constexpr auto kConnectWait = std::chrono::seconds(5);
constexpr auto kConnectPoll = std::chrono::milliseconds(20);
// A new connection carries data from the server's next cycles on, not at once.
constexpr auto kConnectSettle = std::chrono::milliseconds(100);
constexpr int kProgressWidth = 40;

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) {
    g_interrupted = true;
}

QString openFailure(const MidiStatus& status) {
    return QString::fromStdString(openFailureText(status.code));
}

// Runs a call to the MIDI service beside the main thread, which answers Ctrl-C and SIGTERM
// at once even while the service does not answer (the service gives up by itself after about
// 5 s). Leaving a stuck call behind is only safe because we then leave the process.
// `consequence` says what the interruption means, where there is more to say.
template <typename Call>
auto answeringSignals(Call call, const QString& consequence = {}) -> decltype(call()) {
    using Result = decltype(call());
    auto result = std::make_shared<std::optional<Result>>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([call, result, done] {
        *result = call();
        done->store(true);
    }).detach();
    while (!done->load()) {
        if (g_interrupted) {
            printErr(QStringLiteral("qob: interrupted while waiting for the MIDI service") +
                     (consequence.isEmpty() ? QStringLiteral(".") : "; " + consequence));
            std::fflush(stdout);
            std::_Exit(kFailed);
        }
        std::this_thread::sleep_for(kConnectPoll);
    }
    return std::move(**result);
}

// A list number opens the port listed there, an exact name the port of that name; either is
// resolved on the connection that opens it.
OpenResult openPort(const std::shared_ptr<MidiOutService>& service, const QString& port) {
    bool isIndex = false;
    const int index = port.toInt(&isIndex);
    if (isIndex)
        return answeringSignals([service, index] { return service->open(index - 1); },
                                QStringLiteral("nothing was sent."));
    const std::string name = port.toStdString();
    OpenResult opened = answeringSignals([service, name] { return service->openNamed(name); },
                                         QStringLiteral("nothing was sent."));
    if (opened.status.code == kMidiBadDevice)
        printErr(QStringLiteral("qob: no MIDI output port is named '%1'; 'qob ports' lists them.")
                     .arg(port));
    return opened;
}

// Nobody hears our own port until the user connects it; JACK drops what goes out before.
bool waitForConnection(MidiOutPort& port) {
    const QString name = QString::fromStdString(port.name());
    const bool canTell = port.connectionCount().has_value();
    printErr((canTell ? QStringLiteral("qob: opened port '%1'; waiting up to %2 s for it to be "
                                       "connected")
                      : QStringLiteral("qob: opened port '%1'; this MIDI service cannot tell when "
                                       "it is connected, so sending starts in %2 s"))
                 .arg(name)
                 .arg(kConnectWait.count()));
    const auto until = std::chrono::steady_clock::now() + kConnectWait;
    while (!g_interrupted && std::chrono::steady_clock::now() < until) {
        if (canTell && port.connectionCount().value_or(0) > 0) {
            std::this_thread::sleep_for(kConnectSettle);
            return true;
        }
        std::this_thread::sleep_for(kConnectPoll);
    }
    if (!canTell)
        return !g_interrupted;
    printErr(QStringLiteral("qob: nothing was connected to '%1'; nothing was sent.").arg(name));
    return false;
}

// A port opened without reaching its target would lose every block.
bool reachesTarget(MidiOutPort& port) {
    if (const MidiStatus service = port.serviceStatus(); !service.ok()) {
        printErr(QStringLiteral("qob: %1; nothing was sent.")
                     .arg(QString::fromStdString(service.detail)));
        return false;
    }
    if (port.connectionCount().value_or(1) != 0)
        return true;
    printErr(QStringLiteral("qob: '%1' is connected to nothing; nothing was sent.")
                 .arg(QString::fromStdString(port.name())));
    return false;
}

void drawProgress(int handedOver) {
    const int filled = handedOver * kProgressWidth / kDumpBlocks;
    std::fprintf(stderr, "\r[%s%s] %3d/%d", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kProgressWidth - filled), ' ').c_str(), handedOver,
                 kDumpBlocks);
    std::fflush(stderr);
}

} // namespace

int cmdPorts(const Invocation& call) {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const std::shared_ptr<MidiOutService> service = makeRtMidiService(call.api);
    const PortListing listing = answeringSignals([service] { return service->listPorts(); });
    std::printf("0: %s\n", kMidiMapperName);
    for (std::size_t k = 0; k < listing.names.size(); ++k)
        std::printf("%zu: %s\n", k + 1, listing.names[k].c_str());
    if (!listing.status.ok()) {
        printErr(QStringLiteral("qob: ") + QString::fromStdString(listing.status.detail));
        return kFailed;
    }
    return kOk;
}

int cmdSend(const Invocation& call) {
    Preset preset;
    if (!loadInput(call.files.at(0), preset))
        return kFailed;
    const std::optional<DeviceDump> image = buildImage(preset);
    if (!image)
        return kFailed;
    const int slot = call.slot.value_or(kFirstPresetSlot);
    const DumpBlocks blocks = makeDumpBlocks(*image, slot);

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const std::shared_ptr<MidiOutService> service = makeRtMidiService(call.api);
    const OpenResult opened = openPort(service, call.port);
    if (!opened.status.ok()) {
        printErr(openFailure(opened.status));
        printErr(QString::fromStdString(opened.status.detail));
        return kFailed;
    }
    const std::shared_ptr<MidiOutPort> held = opened.port;
    MidiOutPort& port = *held;
    const auto closePort = [held] { return answeringSignals([held] { return held->close(); }); };
    const QString name = QString::fromStdString(port.name());
    const bool own = port.name() == kVirtualPortName;
    if (!(own ? waitForConnection(port) : reachesTarget(port))) {
        closePort();
        return kFailed;
    }

    const bool bar = isatty(STDERR_FILENO) != 0;
    const auto retrying = [bar](int tryNumber) {
        if (bar)
            std::fputc('\n', stderr);
        printErr(QStringLiteral("qob: the MIDI server missed a cycle during the transfer, so a "
                                "block may be lost; sending the whole preset again (try %1 of %2)")
                     .arg(tryNumber)
                     .arg(kTransferTries));
    };
    const TransferOutcome outcome = transferDump(
        blocks, port, g_interrupted,
        bar ? std::function<void(int)>(drawProgress) : std::function<void(int)>(), retrying);
    if (bar)
        std::fputc('\n', stderr);
    const MidiStatus closed = closePort();

    switch (outcome.kind) {
    case TransferOutcome::Kind::Cancelled:
        printErr(outcome.handedOver == 0
                     ? QStringLiteral("qob: interrupted before the first block; nothing was sent.")
                     : QStringLiteral("qob: interrupted after block %1 of %2. %3")
                           .arg(outcome.handedOver)
                           .arg(kDumpBlocks)
                           .arg(QString::fromStdString(partialSlotText(slot))));
        return kFailed;
    case TransferOutcome::Kind::Failed:
        printErr(QStringLiteral("qob: ") + QString::fromStdString(sendStoppedText(outcome)));
        if (outcome.handedOver > 0)
            printErr(QStringLiteral("qob: ") + QString::fromStdString(partialSlotText(slot)));
        return kFailed;
    case TransferOutcome::Kind::CyclesMissed:
        printErr(QStringLiteral("qob: ") + QString::fromStdString(cyclesMissedText(slot)));
        return kFailed;
    case TransferOutcome::Kind::Sent:
        break;
    }
    if (!closed.ok()) {
        printErr(QStringLiteral("qob: all %1 blocks were handed over, but closing '%2' failed: %3.")
                     .arg(kDumpBlocks)
                     .arg(name, QString::fromStdString(closed.detail)));
        return kFailed;
    }
    std::printf("sent %d blocks to slot %d through '%s'%s\n", kDumpBlocks, slot,
                port.name().c_str(), retryNote(outcome.tries).c_str());
    return kOk;
}

} // namespace qob::cli

namespace qob::cli {
namespace {

// How long one wait for input lasts: Ctrl-C, the time limit and a lost source are seen between.
constexpr auto kListenSlice = std::chrono::milliseconds(50);
constexpr auto kCloseWait = std::chrono::milliseconds(300);

QString controlName(const ControlMatch& m) {
    return QStringLiteral("%1 (%2)").arg(QString::fromStdString(elementName(m.element)),
                                         QLatin1String(layerName(m.layer)));
}

QString controlNames(const std::vector<ControlMatch>& matches) {
    QStringList names;
    for (const ControlMatch& m : matches)
        names << controlName(m);
    return names.join(QStringLiteral(", "));
}

// One heard message as a line: seconds since the first, the bytes, the event, the controls.
QString heardLine(double t, const HeardMessage& m, const std::optional<ControlIndex>& index,
                  const std::vector<ControlMatch>& matches, bool json) {
    const QString bytes = QString::fromStdString(hexBytes(m.bytes));
    const QString event = QString::fromStdString(heardEventText(m.bytes));
    if (json) {
        QJsonArray list;
        for (const ControlMatch& c : matches)
            list.append(QJsonObject{{"element", c.element},
                                    {"name", QString::fromStdString(elementName(c.element))},
                                    {"layer", QLatin1String(layerName(c.layer))}});
        const QJsonObject line{{"t", std::round(t * 1e6) / 1e6},
                               {"bytes", bytes},
                               {"event", event},
                               {"matches", list}};
        return QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact));
    }
    QString line = QStringLiteral("%1  %2  %3")
                       .arg(t, 11, 'f', 6)
                       .arg(bytes.leftJustified(8))
                       .arg(event.leftJustified(18));
    if (index)
        line += matches.empty() ? QStringLiteral("not in this preset") : controlNames(matches);
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

// "JACK lists 'a:out', 'b:out'"
QString sourcesText(const PortListing& listing) {
    const QString service = listing.service.empty() ? QStringLiteral("the MIDI service")
                                                    : QString::fromStdString(listing.service);
    if (listing.names.empty())
        return service + QStringLiteral(" lists none");
    QStringList names;
    for (const std::string& n : listing.names)
        names << QStringLiteral("'%1'").arg(QString::fromStdString(n));
    return service + QStringLiteral(" lists ") + names.join(QStringLiteral(", "));
}

} // namespace

int cmdMonitor(const Invocation& call) {
    std::optional<ControlIndex> index;
    if (!call.files.isEmpty()) {
        Preset preset;
        if (!loadInput(call.files.at(0), preset))
            return kUsage;
        index.emplace(preset);
    }
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const std::shared_ptr<MidiInService> service = makeMidiInService(call.api);
    const std::string wanted = call.port.isEmpty() ? kOwnInputName : call.port.toStdString();
    InputOpenResult opened =
        answeringSignals([service, wanted] { return service->openNamed(wanted); });
    if (opened.status.code == kMidiBadDevice) {
        const PortListing sources = answeringSignals([service] { return service->listSources(); });
        printErr(QStringLiteral("qob: no MIDI source is named '%1'; %2.")
                     .arg(call.port, sourcesText(sources)));
        return kUsage;
    }
    if (!opened.status.ok()) {
        printErr(QStringLiteral("qob: cannot listen: ") +
                 QString::fromStdString(opened.status.detail));
        return kFailed;
    }
    MidiInPort& port = *opened.port;
    printErr(call.port.isEmpty()
                 ? QStringLiteral("qob: listening on '%1'; connect the surface to it")
                       .arg(QString::fromStdString(port.name()))
                 : QStringLiteral("qob: listening to '%1'").arg(call.port));
    if (index && !index->keystrokeControls().empty())
        printErr(
            QStringLiteral("qob: %1 send keystrokes, which reach the computer as typing, not "
                           "as MIDI, and cannot be heard: %2")
                .arg(index->keystrokeControls().size() == 1
                         ? QStringLiteral("1 control")
                         : QStringLiteral("%1 controls").arg(index->keystrokeControls().size()),
                     controlNames(index->keystrokeControls())));

    using Clock = std::chrono::steady_clock;
    const std::optional<Clock::time_point> until =
        call.seconds
            ? std::optional(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(*call.seconds)))
            : std::nullopt;
    long long printed = 0;
    long long matched = 0;
    std::optional<double> first;
    MidiStatus ended;
    const auto done = [&] { return call.count && printed >= *call.count; };
    while (!g_interrupted && !done()) {
        auto wait = kListenSlice;
        if (until) {
            const auto left = *until - Clock::now();
            if (left <= Clock::duration::zero())
                break;
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(left));
        }
        for (const HeardMessage& m : port.take(wait)) {
            if (done())
                break;
            if (!first)
                first = m.time;
            const std::vector<ControlMatch> matches =
                index ? index->match(m.bytes) : std::vector<ControlMatch>{};
            matched += matches.empty() ? 0 : 1;
            printOut(heardLine(m.time - *first, m, index, matches, call.json));
            ++printed;
        }
        std::fflush(stdout);
        if (ended = port.status(); !ended.ok())
            break;
    }
    const InputCounts counts = port.counts();
    const auto messages = [](auto n) {
        return n == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(n);
    };
    QString summary = QStringLiteral("qob: ") + messages(printed);
    if (index)
        summary += QStringLiteral(", %1 matched, %2 unknown").arg(matched).arg(printed - matched);
    summary += QStringLiteral(", %1 realtime filtered, %2 dropped")
                   .arg(counts.realtime)
                   .arg(counts.dropped);
    printErr(summary);
    if (!ended.ok())
        printErr(QStringLiteral("qob: listening ended: ") + QString::fromStdString(ended.detail));
    if (counts.missedCycles > 0)
        printErr(QStringLiteral("qob: the MIDI server missed %1 while listening; messages in "
                                "them may have been lost unseen")
                     .arg(counts.missedCycles == 1
                              ? QStringLiteral("a cycle")
                              : QStringLiteral("%1 cycles").arg(counts.missedCycles)));
    if (counts.dropped > 0)
        printErr(QStringLiteral("qob: %1 came faster than they could be taken and were lost")
                     .arg(messages(counts.dropped)));
    const int status = ended.ok() && counts.dropped == 0 ? kOk : kFailed;
    // Closing asks the server, and a stopped one would hold us for seconds after Ctrl-C: the
    // close gets a moment, then we leave without it (the server drops a client that has gone).
    auto closed = std::make_shared<std::atomic<bool>>(false);
    std::thread([port = std::move(opened.port), closed]() mutable {
        port.reset();
        closed->store(true);
    }).detach();
    const auto closeBy = std::chrono::steady_clock::now() + kCloseWait;
    while (!closed->load() && std::chrono::steady_clock::now() < closeBy)
        std::this_thread::sleep_for(kConnectPoll);
    if (!closed->load())
        std::_Exit(finishStdout() ? status : kFailed);
    return status;
}

} // namespace qob::cli
