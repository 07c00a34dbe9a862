// SPDX-License-Identifier: GPL-3.0-or-later
// Counting who listens to our own ALSA port, on a stand-in sequencer: with nobody subscribed,
// SEND and `qob send` refuse our port exactly as on JACK instead of reporting a send that
// reached no one.
#include "device/AlsaSubscribers.h"
#include "device/MidiOutPort.h"

#include <gtest/gtest.h>

#include <map>

using namespace qob;

namespace {

constexpr int kPid = 4242;

struct FakeSequencer {
    std::vector<AlsaSeqPort> ports;
    std::map<std::pair<int, int>, std::vector<int>> subscribers; // indexes that answer

    AlsaSubscriberSeam seam() {
        return {[this] { return ports; },
                [this](const AlsaSeqPort& p, int index) -> std::optional<int> {
                    for (const int at : subscribers[{p.client, p.port}])
                        if (at >= index)
                            return at;
                    return std::nullopt;
                }};
    }
};

TEST(AlsaSubscribers, CountsTheReadersOfOurOwnPortOnly) {
    const std::string ours = kVirtualPortName;
    struct Case {
        const char* what;
        std::vector<AlsaSeqPort> ports;
        std::map<std::pair<int, int>, std::vector<int>> subscribers;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"nobody subscribed", {{128, 0, ours, ours, kPid}}, {}, 0},
        {"one reader", {{128, 0, ours, ours, kPid}}, {{{128, 0}, {0}}}, 1},
        // The kernel may leave gaps in the indexes; each found one counts once.
        {"readers at scattered indexes", {{128, 0, ours, ours, kPid}}, {{{128, 0}, {0, 3, 7}}}, 3},
        {"only another port has readers",
         {{128, 0, ours, ours, kPid}, {20, 0, "Surface", "Surface In", 1}},
         {{{20, 0}, {0, 1}}},
         0},
        // Another editor's port has the same names; only its process tells them apart.
        {"a second editor is connected, we are not",
         {{128, 0, ours, ours, kPid}, {129, 0, ours, ours, kPid + 1}},
         {{{129, 0}, {0}}},
         0},
        {"our port is not there", {{20, 0, "Surface", "Surface In", 1}}, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSequencer seq{c.ports, c.subscribers};
        EXPECT_EQ(alsaSubscriberCount(ours, ours, kPid, seq.seam()), c.expected);
    }

    // No sequencer at all: the count is unknown, not zero.
    EXPECT_EQ(alsaSubscriberCount(ours, ours, kPid, AlsaSubscriberSeam{}), std::nullopt);
}

} // namespace
