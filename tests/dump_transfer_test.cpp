// SPDX-License-Identifier: GPL-3.0-or-later
// The paced transfer on a simulated clock: order, deadlines, cancel and failures.
#include "device/DumpTransfer.h"
#include "tests/support/FakeMidi.h"

#include <gtest/gtest.h>

#include <map>

using namespace qob;
using namespace std::chrono_literals;

namespace {

// Time moves only when the transfer sleeps or a send takes time.
struct FakeClock {
    TransferTime t = TransferTime{} + 1h;
    std::vector<TransferTime> sleeps;
    TransferClock clock() {
        return {[this] { return t; },
                [this](TransferTime until) {
                    sleeps.push_back(until);
                    t = std::max(t, until);
                }};
    }
};

DumpBlocks someBlocks(int slot = 3) {
    DeviceDump image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    return makeDumpBlocks(image, slot);
}

struct Transfer {
    FakeClock clock;
    test::RecordingPort port;
    std::atomic<bool> cancel{false};
    std::vector<int> progress;
    TransferOutcome outcome;

    explicit Transfer(const std::map<int, std::chrono::milliseconds>& sendCost = {}) {
        port.now = [this] { return clock.t; };
        port.onSend = [this, sendCost](int count) {
            const auto cost = sendCost.find(count - 1);
            clock.t += cost == sendCost.end() ? 0ms : cost->second;
        };
    }
    void go(const DumpBlocks& blocks) {
        outcome = transferDump(blocks, port, clock.clock(), cancel,
                               [this](int n) { progress.push_back(n); });
    }
};

TEST(DumpTransfer, HandsOverEveryBlockInOrderOnAbsoluteDeadlines) {
    struct Case {
        const char* what;
        std::map<int, std::chrono::milliseconds> cost;
    };
    const Case cases[] = {
        {"instant sends", {}},
        {"every send takes 3 ms",
         [] {
             std::map<int, std::chrono::milliseconds> m;
             for (int i = 0; i < kDumpBlocks; ++i)
                 m[i] = 3ms;
             return m;
         }()},
        // A stall of 25 ms makes blocks 6 and 7 late; they go out at once and the schedule
        // holds from block 8 on instead of everything shifting by 15 ms.
        {"one 25 ms stall", {{5, 25ms}}},
        {"the last send stalls past the end", {{191, 30ms}}},
    };
    const DumpBlocks blocks = someBlocks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Transfer run(c.cost);
        run.go(blocks);
        ASSERT_TRUE(run.outcome.sent()) << run.outcome.error;
        EXPECT_EQ(run.outcome.handedOver, kDumpBlocks);
        const auto sent = run.port.sent();
        ASSERT_EQ(sent.size(), static_cast<std::size_t>(kDumpBlocks));
        const TransferTime start = run.outcome.start;
        TransferTime finished = start; // when the previous send returned
        for (int i = 0; i < kDumpBlocks; ++i) {
            const auto& block = blocks[static_cast<std::size_t>(i)];
            EXPECT_EQ(sent[i].bytes, std::vector<std::uint8_t>(block.begin(), block.end())) << i;
            const TransferTime deadline = start + i * kBlockPause;
            EXPECT_GE(sent[i].at, deadline) << "block " << i << " early";
            // No later than its deadline, or at once when the previous send overran it.
            EXPECT_EQ(sent[i].at, std::max(deadline, finished)) << "block " << i;
            const auto cost = c.cost.find(i);
            finished = sent[i].at + (cost == c.cost.end() ? 0ms : cost->second);
        }
        EXPECT_EQ(run.outcome.end, std::max(start + 1920ms, finished));
        // Sleeps are asked for as absolute points, never as summed durations.
        for (std::size_t s = 0; s < run.clock.sleeps.size(); ++s)
            EXPECT_EQ(run.clock.sleeps[s], start + static_cast<int>(s + 1) * kBlockPause);
        std::vector<int> expected(kDumpBlocks);
        for (int i = 0; i < kDumpBlocks; ++i)
            expected[i] = i + 1;
        EXPECT_EQ(run.progress, expected);
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

    // A block that is not a clean SysEx message never reaches the port.
    for (const auto& [offset, value] : {std::pair{5, 0x80}, {0, 0x90}, {19, 0x7F}}) {
        DumpBlocks bad = blocks;
        bad[42][static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
        Transfer run;
        run.go(bad);
        EXPECT_EQ(run.outcome.kind, TransferOutcome::Kind::Failed) << offset;
        EXPECT_EQ(run.outcome.failedBlock, 42);
        EXPECT_EQ(run.port.sent().size(), 42u);
    }

    Transfer already;
    already.cancel = true;
    already.go(blocks);
    EXPECT_EQ(already.outcome.kind, TransferOutcome::Kind::Cancelled);
    EXPECT_TRUE(already.port.sent().empty());
}

} // namespace
