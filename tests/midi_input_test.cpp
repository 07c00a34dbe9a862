// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/MidiInStream.h"
#include "device/RtMidiIn.h"
#include "vocab/ShortText.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace qob;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> bytesOf(const std::vector<HeardMessage>& heard) {
    std::vector<Bytes> out;
    for (const HeardMessage& m : heard)
        out.push_back(m.bytes);
    return out;
}

} // namespace

TEST(MidiInStream, JoinsSysExAndTakesOutRealtimeBytes) {
    const struct {
        const char* what;
        std::vector<Bytes> events;
        std::vector<Bytes> messages;
        std::uint64_t realtime;
        std::uint64_t broken;
    } cases[] = {
        {"whole messages", {{0xB0, 7, 100}, {0xC0, 5}}, {{0xB0, 7, 100}, {0xC0, 5}}, 0, 0},
        {"realtime events", {{0xF8}, {0x90, 60, 1}, {0xFE}, {0xFF}}, {{0x90, 60, 1}}, 3, 0},
        {"SysEx in three pieces with a clock between",
         {{0xF0, 0x7E}, {0xF8}, {0x7F, 0xF8, 0x09}, {0x01, 0xF7}},
         {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
         2,
         0},
        {"SysEx cut short by a status byte",
         {{0xF0, 0x7E, 0x7F}, {0xB0, 1, 2}},
         {{0xB0, 1, 2}},
         0,
         1},
        {"stray data and a lone end mark", {{0x05, 0x06}, {0xF7}, {0xC1, 3}}, {{0xC1, 3}}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MidiInStream stream;
        std::vector<HeardMessage> heard;
        double t = 0;
        for (const Bytes& e : c.events)
            stream.feed(e, t += 0.5, heard);
        EXPECT_EQ(bytesOf(heard), c.messages);
        EXPECT_EQ(stream.realtime(), c.realtime);
        EXPECT_EQ(stream.broken(), c.broken);
    }
    // A SysEx takes the time of its first piece; one past the limit is skipped and counted.
    MidiInStream stream;
    std::vector<HeardMessage> heard;
    stream.feed(Bytes{0xF0, 1}, 1.0, heard);
    stream.feed(Bytes{2, 0xF7}, 2.0, heard);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].time, 1.0);
    Bytes huge(MidiInStream::kLongestSysEx + 2, 0x11);
    huge.front() = 0xF0;
    huge.back() = 0xF7;
    stream.feed(huge, 3.0, heard);
    EXPECT_EQ(heard.size(), 1u);
    EXPECT_EQ(stream.broken(), 1u);
}

TEST(ShortText, NamesHeardMessagesInTheSheetsWords) {
    const struct {
        Bytes message;
        const char* text;
    } cases[] = {
        {{0xB0, 7, 100}, "CC 7 ch 1"},        {{0x99, 36, 1}, "Note 36 ch 10"},
        {{0x99, 36, 0}, "Note off 36 ch 10"}, {{0x8F, 36, 64}, "Note off 36 ch 16"},
        {{0xC0, 5}, "Prog 5 ch 1"},           {{0xE1, 0, 64}, "Pitch bend ch 2"},
        {{0xF0, 0x7E, 0xF7}, "SysEx 7E"},     {{0xF1, 3}, "Status F1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(heardEventText(c.message), c.text);
}

namespace {

// The sequencer as far as listening goes: the test calls `receive` and `fail` itself, as the
// sequencer's thread would.
struct FakeSequencer {
    std::mutex mutex;
    std::vector<std::string> sources{"Surface:Surface MIDI 1 20:0"};
    std::string opened; // the source asked for; "<own>" for our own port
    AlsaInBackend::Receive receive;
    AlsaInBackend::Fail fail;
};

class FakeBackend : public AlsaInBackend {
public:
    explicit FakeBackend(std::shared_ptr<FakeSequencer> seq) : m_seq(std::move(seq)) {}
    std::vector<std::string> sources(MidiStatus&) override {
        const std::lock_guard lock(m_seq->mutex);
        return m_seq->sources;
    }
    MidiStatus open(const std::string& source, Receive receive, Fail fail) override {
        const std::lock_guard lock(m_seq->mutex);
        if (!source.empty() &&
            std::find(m_seq->sources.begin(), m_seq->sources.end(), source) == m_seq->sources.end())
            return {kMidiBadDevice, "no such source"};
        m_seq->opened = source.empty() ? "<own>" : source;
        m_seq->receive = std::move(receive);
        m_seq->fail = std::move(fail);
        return {};
    }

private:
    std::shared_ptr<FakeSequencer> m_seq;
};

} // namespace

// The ALSA side, through its seam: RtMidi's delta times add up to the message's time, pieces
// are joined, and a source that leaves the list or an error from the sequencer ends the input.
TEST(AlsaMidiIn, TakesStampedMessagesAndEndsWhenTheSourceGoes) {
    auto seq = std::make_shared<FakeSequencer>();
    const auto service =
        makeAlsaMidiInService([seq](MidiStatus&) { return std::make_unique<FakeBackend>(seq); });
    EXPECT_EQ(service->listSources().names, seq->sources);
    EXPECT_EQ(service->openNamed("Nothing").status.code, kMidiBadDevice);
    EXPECT_TRUE(service->openNamed(kOwnInputName).status.ok());
    EXPECT_EQ(seq->opened, "<own>");

    const InputOpenResult opened = service->openNamed(seq->sources[0]);
    ASSERT_TRUE(opened.status.ok()) << opened.status.detail;
    MidiInPort& port = *opened.port;
    EXPECT_EQ(port.name(), seq->sources[0]);
    seq->receive(0.0, Bytes{0xB0, 7, 1});
    seq->receive(0.25, Bytes{0xF8});
    seq->receive(0.25, Bytes{0xF0, 0x7E});
    seq->receive(0.5, Bytes{0x7F, 0xF7});
    const std::vector<HeardMessage> heard = port.take(100ms);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].bytes, (Bytes{0xF0, 0x7E, 0x7F, 0xF7}));
    EXPECT_DOUBLE_EQ(heard[0].time, 0.0);
    EXPECT_DOUBLE_EQ(heard[1].time, 0.5);
    EXPECT_EQ(port.counts().realtime, 1u);
    EXPECT_TRUE(port.status().ok());

    seq->sources.clear(); // the surface unplugged
    std::this_thread::sleep_for(600ms);
    EXPECT_TRUE(port.take(0ms).empty());
    EXPECT_NE(port.status().detail.find("has gone"), std::string::npos);

    const InputOpenResult own = service->openNamed(kOwnInputName);
    ASSERT_TRUE(own.status.ok());
    seq->fail("the sequencer went away");
    EXPECT_EQ(own.port->status().detail, "the sequencer went away");
}
