// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DumpTransfer.h"

#include "device/MidiOutPort.h"

#include <thread>

namespace qob {

TransferClock TransferClock::steady() {
    return {[] { return std::chrono::steady_clock::now(); },
            [](TransferTime t) { std::this_thread::sleep_until(t); }};
}

TransferOutcome transferDump(const DumpBlocks& blocks, MidiOutPort& port,
                             const TransferClock& clock, const std::atomic<bool>& cancel,
                             const std::function<void(int)>& progress) {
    TransferOutcome outcome;
    outcome.start = clock.now();
    const auto deadline = [&](int i) { return outcome.start + i * kBlockPause; };
    const auto stop = [&](TransferOutcome::Kind kind, int block, std::string error) {
        outcome.kind = kind;
        outcome.failedBlock = block;
        outcome.error = std::move(error);
        outcome.end = clock.now();
        return outcome;
    };

    for (int i = 0; i < kDumpBlocks; ++i) {
        if (i > 0)
            clock.sleepUntil(deadline(i));
        if (cancel.load())
            return stop(TransferOutcome::Kind::Cancelled, -1, {});
        const DumpBlock& block = blocks[static_cast<std::size_t>(i)];
        if (!isWellFormedBlock(block))
            return stop(TransferOutcome::Kind::Failed, i, "the block is not a well-formed message");
        const MidiStatus status = port.send(block);
        if (!status.ok())
            return stop(TransferOutcome::Kind::Failed, i, status.detail);
        outcome.handedOver = i + 1;
        if (progress)
            progress(outcome.handedOver);
    }
    // The pause after the last block belongs to the transfer too.
    clock.sleepUntil(deadline(kDumpBlocks));
    outcome.kind = TransferOutcome::Kind::Sent;
    outcome.end = clock.now();
    return outcome;
}

} // namespace qob
