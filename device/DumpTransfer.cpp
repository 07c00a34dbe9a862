// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DumpTransfer.h"

#include "device/MidiOutPort.h"

#include <thread>

#include <sys/prctl.h>

namespace qob {

TransferClock TransferClock::steady() {
    return {[] { return std::chrono::steady_clock::now(); },
            [](TransferTime t) {
                // By default the kernel may wake a sleeper up to 50 us late; over 191 pauses that
                // stretches a transfer for nothing. Asked once per pacing thread.
                static thread_local const bool tight = ::prctl(PR_SET_TIMERSLACK, 1UL) == 0;
                (void)tight;
                std::this_thread::sleep_until(t);
            }};
}

TransferOutcome paceBlocks(const TransferSchedule& schedule, const TransferClock& clock,
                           const HandOver& handOver) {
    TransferOutcome outcome;
    outcome.start = clock.now();
    const auto stop = [&](TransferOutcome::Kind kind, int block, std::string error) {
        outcome.kind = kind;
        outcome.failedBlock = block;
        outcome.error = std::move(error);
        outcome.end = clock.now();
        return outcome;
    };

    TransferTime handedAt = outcome.start;
    for (int i = 0; i < kDumpBlocks; ++i) {
        if (i > 0)
            clock.sleepUntil(handedAt + kBlockPause);
        if (schedule.cancel.load())
            return stop(TransferOutcome::Kind::Cancelled, -1, {});
        const MidiStatus status = handOver(schedule.blocks[static_cast<std::size_t>(i)]);
        // Taken after the call: the surface's time starts when the message has left our hands.
        handedAt = clock.now();
        if (!status.ok())
            return stop(TransferOutcome::Kind::Failed, i, status.detail);
        outcome.handedOver = i + 1;
        if (schedule.progress)
            schedule.progress(outcome.handedOver);
    }
    clock.sleepUntil(handedAt + kBlockPause);
    outcome.kind = TransferOutcome::Kind::Sent;
    outcome.end = clock.now();
    return outcome;
}

TransferOutcome transferDump(const DumpBlocks& blocks, MidiOutPort& port,
                             const std::atomic<bool>& cancel,
                             const std::function<void(int)>& progress,
                             const std::function<void(int)>& retrying) {
    for (int i = 0; i < kDumpBlocks; ++i) {
        if (!isWellFormedBlock(blocks[static_cast<std::size_t>(i)])) {
            TransferOutcome outcome;
            outcome.failedBlock = i;
            outcome.error = "block " + std::to_string(i + 1) + " is not a well-formed message";
            return outcome;
        }
    }
    TransferOutcome outcome;
    for (int tryNumber = 1;; ++tryNumber) {
        outcome = port.transfer({blocks, cancel, progress});
        outcome.tries = tryNumber;
        // The surface keeps the newest complete copy, so a later whole copy mends the damage.
        if (!outcome.sent() || !outcome.missedCycle)
            return outcome;
        if (tryNumber == kTransferTries) {
            outcome.kind = TransferOutcome::Kind::CyclesMissed;
            return outcome;
        }
        if (retrying)
            retrying(tryNumber + 1);
    }
}

namespace {
// A backend's reason as the end of one of our sentences.
std::string asClause(std::string reason) {
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? "the MIDI service gave no reason" : reason;
}
} // namespace

std::string sendStoppedText(const TransferOutcome& outcome) {
    return "Sending stopped at block " + std::to_string(outcome.failedBlock + 1) + " of " +
           std::to_string(kDumpBlocks) + ": " + asClause(outcome.error) + ".";
}

std::string partialSlotText(int slot) {
    return "Slot " + std::to_string(slot) +
           " of the surface now holds a partial preset: send it "
           "again.";
}

std::string cyclesMissedText(int slot) {
    return "The MIDI server missed a cycle in each of " + std::to_string(kTransferTries) +
           " tries, so a block may have been lost each time. Slot " + std::to_string(slot) +
           " of the surface may hold a damaged preset: send it again.";
}

std::string retryNote(int tries) {
    switch (tries) {
    case 1:
        return {};
    case 2:
        return " (second try: the server missed a cycle)";
    default: // kTransferTries is 3
        return " (third try: the server missed a cycle twice)";
    }
}

std::string sentStatusText(int slot, int tries) {
    return "Sent to slot " + std::to_string(slot) + retryNote(tries);
}

std::string notSentStatusText(const std::string& reason) {
    return "Not sent: " + reason;
}

std::string openFailureText(int code) {
    return "Couldn't open midi out, rc = " + std::to_string(code);
}

} // namespace qob
