// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/DeviceDump.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

namespace qob {

class MidiOutPort;

// The surface is given this long to take each block: the only flow control of the transfer.
inline constexpr std::chrono::milliseconds kBlockPause{10};

using TransferTime = std::chrono::steady_clock::time_point;

// Where the transfer reads the time and waits; tests put a simulated clock here.
struct TransferClock {
    std::function<TransferTime()> now;
    std::function<void(TransferTime)> sleepUntil;

    static TransferClock steady();
};

struct TransferOutcome {
    enum class Kind { Sent, Cancelled, Failed };
    Kind kind = Kind::Failed;
    int handedOver = 0;   // blocks given to the port
    int failedBlock = -1; // 0-based number of the block that failed
    std::string error;    // what failed, in the backend's words
    TransferTime start{};
    TransferTime end{};
    bool sent() const { return kind == Kind::Sent; }
};

// Hands the blocks to the port in order, block i no earlier than start + i * kBlockPause, and
// returns no earlier than start + 192 * kBlockPause. Deadlines are absolute, so a late block
// does not push the rest back. Each block is checked before it goes out; `cancel` is looked at
// before every block, so a cancelled transfer stops after the block in hand. `progress` gets
// the number handed over so far, after each block.
TransferOutcome transferDump(const DumpBlocks& blocks, MidiOutPort& port,
                             const TransferClock& clock, const std::atomic<bool>& cancel,
                             const std::function<void(int handedOver)>& progress = {});

} // namespace qob
