// SPDX-License-Identifier: GPL-3.0-or-later
// qob ports and qob send: the commands that talk to the MIDI service.
#include "cli/Cli.h"
#include "device/DumpTransfer.h"
#include "device/MidiOutPort.h"

#include <QString>

#include <atomic>
#include <chrono>
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
template <typename Call> auto answeringSignals(Call call) -> decltype(call()) {
    using Result = decltype(call());
    auto result = std::make_shared<std::optional<Result>>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([call, result, done] {
        *result = call();
        done->store(true);
    }).detach();
    while (!done->load()) {
        if (g_interrupted) {
            printErr(QStringLiteral("qob: interrupted while waiting for the MIDI service; nothing "
                                    "was sent."));
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
        return answeringSignals([service, index] { return service->open(index - 1); });
    const std::string name = port.toStdString();
    OpenResult opened = answeringSignals([service, name] { return service->openNamed(name); });
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
