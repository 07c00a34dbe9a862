// SPDX-License-Identifier: GPL-3.0-or-later
// The paced transfer on a simulated clock: order, deadlines, cancel and failures.
#include "device/DumpTransfer.h"
#include "tests/support/FakeMidi.h"

#include <gtest/gtest.h>

#include <map>

using namespace qob;
using namespace std::chrono_literals;

namespace {

using Delays = std::map<int, std::chrono::milliseconds>;

// Time moves only when the transfer sleeps or a send takes time. A sleep before block i may
// wake `oversleep[i]` late, as a loaded machine does.
struct FakeClock {
    TransferTime t = TransferTime{} + 1h;
    Delays oversleep;
    int wakes = 0;
    TransferClock clock() {
        return {[this] { return t; },
                [this](TransferTime until) {
                    const auto late = oversleep.find(++wakes);
                    t = std::max(t, until) + (late == oversleep.end() ? 0ms : late->second);
                }};
    }
};

DumpBlocks someBlocks(int slot = 3) {
    DeviceDump image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    return makeDumpBlocks(image, slot);
}

std::chrono::milliseconds at(const Delays& delays, int i) {
    const auto it = delays.find(i);
    return it == delays.end() ? 0ms : it->second;
}

struct Transfer {
    FakeClock clock;
    test::RecordingPort port;
    std::atomic<bool> cancel{false};
    std::vector<int> progress;
    TransferOutcome outcome;

    explicit Transfer(const Delays& sendCost = {}, const Delays& oversleep = {}) {
        clock.oversleep = oversleep;
        port.clock = clock.clock();
        port.onSend = [this, sendCost](int count) { clock.t += at(sendCost, count - 1); };
    }
    std::vector<int> retries;
    void go(const DumpBlocks& blocks) {
        outcome = transferDump(
            blocks, port, cancel, [this](int n) { progress.push_back(n); },
            [this](int tryNumber) { retries.push_back(tryNumber); });
    }
};

TEST(DumpTransfer, EveryBlockWaitsTheWholePauseAfterThePreviousHandOver) {
    struct Case {
        const char* what;
        Delays cost;      // how long the send of block i takes
        Delays oversleep; // how late the wait before block i ends
    };
    Delays everySend;
    for (int i = 0; i < kDumpBlocks; ++i)
        everySend[i] = 3ms;
    const Case cases[] = {
        {"instant sends", {}, {}},
        {"every send takes 3 ms", everySend, {}},
        // A stall pushes everything after it back; nothing is sent early to catch up.
        {"one send stalls for 25 ms", {{5, 25ms}}, {}},
        {"the wait before block 40 ends 80 ms late", {}, {{40, 80ms}}},
        {"several late wake-ups", {}, {{3, 7ms}, {4, 30ms}, {100, 1ms}, {191, 12ms}}},
        {"the last send stalls past the end", {{191, 30ms}}, {}},
    };
    const DumpBlocks blocks = someBlocks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Transfer run(c.cost, c.oversleep);
        run.go(blocks);
        ASSERT_TRUE(run.outcome.sent()) << run.outcome.error;
        EXPECT_EQ(run.outcome.handedOver, kDumpBlocks);
        const auto sent = run.port.sent();
        ASSERT_EQ(sent.size(), static_cast<std::size_t>(kDumpBlocks));
        auto expected = run.outcome.start;
        std::chrono::milliseconds extra = 0ms;
        for (int i = 0; i < kDumpBlocks; ++i) {
            const auto& block = blocks[static_cast<std::size_t>(i)];
            EXPECT_EQ(sent[i].bytes, std::vector<std::uint8_t>(block.begin(), block.end())) << i;
            // The pause after the previous send returned, plus only what the machine added.
            EXPECT_EQ(sent[i].at, expected) << "block " << i;
            expected = sent[i].at + at(c.cost, i) + kBlockPause + at(c.oversleep, i + 1);
            extra += at(c.cost, i) + at(c.oversleep, i);
        }
        EXPECT_EQ(run.outcome.end, expected);
        EXPECT_EQ(run.outcome.end - run.outcome.start, kDumpBlocks * kBlockPause + extra);
        std::vector<int> counts(kDumpBlocks);
        for (int i = 0; i < kDumpBlocks; ++i)
            counts[i] = i + 1;
        EXPECT_EQ(run.progress, counts);
    }
}

TEST(DumpTransfer, StopsAfterTheCurrentBlockOnCancelAndOnFailure) {
    const DumpBlocks blocks = someBlocks();

    Transfer cancelled;
    cancelled.port.onSend = [&](int count) {
        if (count == 57)
            cancelled.cancel = true;
    };
    cancelled.go(blocks);
    EXPECT_EQ(cancelled.outcome.kind, TransferOutcome::Kind::Cancelled);
    EXPECT_EQ(cancelled.outcome.handedOver, 57);
    EXPECT_EQ(cancelled.port.sent().size(), 57u);
    EXPECT_LE(cancelled.outcome.end, cancelled.outcome.start + 57 * kBlockPause);

    Transfer failing;
    failing.port.failAt = 100;
    failing.go(blocks);
    EXPECT_EQ(failing.outcome.kind, TransferOutcome::Kind::Failed);
    EXPECT_EQ(failing.outcome.failedBlock, 100);
    EXPECT_EQ(failing.outcome.handedOver, 100);
    EXPECT_EQ(failing.outcome.error, "the recorder was told to fail");
    EXPECT_EQ(failing.port.sent().size(), 100u);

    // A block that is not a clean SysEx message stops the transfer before anything goes out:
    // the surface's slot keeps the preset it had.
    for (const auto& [offset, value] : {std::pair{5, 0x80}, {0, 0x90}, {19, 0x7F}}) {
        DumpBlocks bad = blocks;
        bad[42][static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
        Transfer run;
        run.go(bad);
        EXPECT_EQ(run.outcome.kind, TransferOutcome::Kind::Failed) << offset;
        EXPECT_EQ(run.outcome.failedBlock, 42);
        EXPECT_TRUE(run.port.sent().empty());
    }

    Transfer already;
    already.cancel = true;
    already.go(blocks);
    EXPECT_EQ(already.outcome.kind, TransferOutcome::Kind::Cancelled);
    EXPECT_TRUE(already.port.sent().empty());
}

// A transfer during which the server missed a cycle is made again, whole; only one without a
// missed cycle counts as sent.
TEST(DumpTransfer, AMissedServerCycleSendsTheWholeDumpAgainUpToThreeTimes) {
    struct Case {
        int missCycles;
        TransferOutcome::Kind kind;
        int tries;
        std::vector<int> retries;
        const char* status; // the editor's status row for slot 3 after a sent dump
    };
    const Case cases[] = {
        {0, TransferOutcome::Kind::Sent, 1, {}, "Sent to slot 3"},
        {1,
         TransferOutcome::Kind::Sent,
         2,
         {2},
         "Sent to slot 3 (second try: the server missed a cycle)"},
        {2,
         TransferOutcome::Kind::Sent,
         3,
         {2, 3},
         "Sent to slot 3 (third try: the server missed a cycle twice)"},
        {3, TransferOutcome::Kind::CyclesMissed, 3, {2, 3}, ""},
    };
    const DumpBlocks blocks = someBlocks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.missCycles);
        Transfer run;
        run.port.missCycles = c.missCycles;
        run.go(blocks);
        EXPECT_EQ(run.outcome.kind, c.kind);
        EXPECT_EQ(run.outcome.tries, c.tries);
        EXPECT_EQ(run.retries, c.retries);
        EXPECT_EQ(run.port.sent().size(), static_cast<std::size_t>(c.tries * kDumpBlocks));
        if (run.outcome.sent()) {
            EXPECT_EQ(sentStatusText(3, run.outcome.tries), c.status);
        }
    }
}

} // namespace
