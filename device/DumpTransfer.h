// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/DeviceDump.h"
#include "device/MidiStatus.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace qob {

class MidiOutPort;

// The surface is given this long to take each block: the only flow control of the transfer.
inline constexpr std::chrono::milliseconds kBlockPause{10};

using TransferTime = std::chrono::steady_clock::time_point;

// Where a clock-paced port reads the time and waits; tests put a simulated clock here.
struct TransferClock {
    std::function<TransferTime()> now;
    std::function<void(TransferTime)> sleepUntil;

    static TransferClock steady();
};

// Everything a port needs for one paced transfer.
struct TransferSchedule {
    const DumpBlocks& blocks;
    const std::atomic<bool>& cancel;                // looked at before every block
    std::function<void(int handedOver)> progress{}; // after each block, on the sending thread
};

// A transfer during which the server missed a cycle may have lost a block on the way, and the
// surface never says: the whole dump goes again, this many times in all.
inline constexpr int kTransferTries = 3;

struct TransferOutcome {
    // CyclesMissed: every try ran to the end, but the server missed a cycle in each.
    enum class Kind { Sent, Cancelled, Failed, CyclesMissed };
    Kind kind = Kind::Failed;
    int handedOver = 0;       // blocks given to the service
    int failedBlock = -1;     // 0-based number of the block that failed
    std::string error;        // what failed, in the backend's words
    bool missedCycle = false; // the server missed a cycle while this transfer ran
    int tries = 1;            // whole transfers made, the last one included
    TransferTime start{};
    TransferTime end{};
    bool sent() const { return kind == Kind::Sent; }
};

// Hands one whole message to the service.
using HandOver = std::function<MidiStatus(std::span<const std::uint8_t> message)>;

// The pacing of a port that can only hand over one message at a time: each block goes no
// earlier than kBlockPause after the previous hand-over returned, measured afresh every time, so
// a stall makes the transfer longer and never packs the blocks after it closer together. The
// pause after the last block belongs to the transfer too.
TransferOutcome paceBlocks(const TransferSchedule& schedule, const TransferClock& clock,
                           const HandOver& handOver);

// Checks every block first, so that a malformed one stops the transfer before anything reaches
// the surface, then gives the whole schedule to the port; again, up to kTransferTries in all,
// while the server missed a cycle. `retrying` is told the number of the try about to start.
TransferOutcome transferDump(const DumpBlocks& blocks, MidiOutPort& port,
                             const std::atomic<bool>& cancel,
                             const std::function<void(int handedOver)>& progress = {},
                             const std::function<void(int tryNumber)>& retrying = {});

// What the editor and `qob send` say about a transfer.
// "Sending stopped at block 82 of 192: the JACK server has stopped."
std::string sendStoppedText(const TransferOutcome& outcome);
// "Slot 3 of the surface now holds a partial preset: send it again."
std::string partialSlotText(int slot);
// "Every one of 3 tries ... Slot 3 of the surface may hold a damaged preset: send it again."
std::string cyclesMissedText(int slot);
// The status row after a send: "Sent to slot 3", "Sent to slot 3 (second try: the server missed
// a cycle)", or "Not sent: " and the short reason.
std::string sentStatusText(int slot, int tries = 1);
// " (second try: the server missed a cycle)", or nothing for a first try.
std::string retryNote(int tries);
std::string notSentStatusText(const std::string& reason);
// "Couldn't open midi out, rc = 2": a port that could not be opened, with its return code.
std::string openFailureText(int code);

} // namespace qob
