// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A MIDI service and port that keep what they are given, for tests and benchmarks that need no
// real service.
#include "device/DumpTransfer.h"
#include "device/MidiInPort.h"
#include "device/MidiOutPort.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace qob::test {

class RecordingPort : public MidiOutPort {
public:
    struct Sent {
        std::vector<std::uint8_t> bytes;
        TransferTime at;
    };

    explicit RecordingPort(std::string name = "Recorder") : m_name(std::move(name)) {}

    std::string name() const override { return m_name; }

    // Paced on `clock` like the ALSA port, so a test sees the same rule at work.
    TransferOutcome transfer(const TransferSchedule& schedule) override {
        TransferOutcome outcome =
            paceBlocks(schedule, clock,
                       [this](std::span<const std::uint8_t> message) { return record(message); });
        if (missCycles > 0) {
            --missCycles;
            outcome.missedCycle = true;
        }
        return outcome;
    }

    MidiStatus close() override {
        const std::lock_guard lock(m_mutex);
        if (m_closed)
            return {kMidiInvalidHandle, "already closed"};
        m_closed = true;
        return {};
    }

    std::optional<int> connectionCount() override { return connections; }
    MidiStatus serviceStatus() override { return service; }

    std::vector<Sent> sent() const {
        const std::lock_guard lock(m_mutex);
        return m_sent;
    }
    bool closed() const {
        const std::lock_guard lock(m_mutex);
        return m_closed;
    }

    // Set before use.
    TransferClock clock = TransferClock::steady();
    std::function<void(int count)> onSend; // after each recorded message, on the sending thread
    int failAt = -1;                       // the message with this index fails
    std::atomic<int> missCycles{0};        // this many of the next transfers report a missed cycle
    std::optional<int> connections;
    MidiStatus service; // what serviceStatus() answers

private:
    MidiStatus record(std::span<const std::uint8_t> message) {
        const std::lock_guard lock(m_mutex);
        if (m_closed)
            return {kMidiInvalidHandle, "the port is closed"};
        if (static_cast<int>(m_sent.size()) == failAt)
            return {kMidiError, "the recorder was told to fail"};
        m_sent.push_back({{message.begin(), message.end()}, clock.now()});
        if (onSend)
            onSend(static_cast<int>(m_sent.size()));
        return {};
    }

    mutable std::mutex m_mutex;
    std::string m_name;
    std::vector<Sent> m_sent;
    bool m_closed = false;
};

class FakeService : public MidiOutService {
public:
    PortListing listPorts() override {
        ++listings;
        return {{}, "FAKE", names};
    }

    OpenResult open(int device) override {
        opened.push_back(device);
        if (openCode != kMidiOk)
            return {{openCode, "the fake was told to fail"}, nullptr};
        if (device < kMidiMapperDevice || device >= static_cast<int>(names.size()))
            return {{kMidiBadDevice, "no such device"}, nullptr};
        lastPort = std::make_shared<RecordingPort>(
            device == kMidiMapperDevice ? kVirtualPortName : names[static_cast<size_t>(device)]);
        return {{}, lastPort};
    }

    OpenResult openNamed(const std::string& name) override {
        openedNames.push_back(name);
        if (name == kMidiMapperName)
            return open(kMidiMapperDevice);
        const auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end())
            return {{kMidiBadDevice, "no port named " + name}, nullptr};
        return open(static_cast<int>(it - names.begin()));
    }

    std::vector<std::string> names;
    std::vector<std::string> openedNames;
    int openCode = kMidiOk;
    std::vector<int> opened;
    int listings = 0;
    std::shared_ptr<RecordingPort> lastPort;
};

// An input the test feeds by hand.
class FakeInput : public MidiInPort {
public:
    explicit FakeInput(std::string name) : m_name(std::move(name)) {}
    std::string name() const override { return m_name; }
    std::vector<HeardMessage> take(std::chrono::milliseconds) override {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_waiting, {});
    }
    InputCounts counts() const override { return {}; }
    MidiStatus status() override {
        const std::lock_guard lock(m_mutex);
        return m_waiting.empty() ? m_end : MidiStatus{};
    }
    // As if heard at `time`; any thread may push.
    void push(std::vector<std::uint8_t> bytes, double time = 0) {
        const std::lock_guard lock(m_mutex);
        m_waiting.push_back({std::move(bytes), time});
    }
    void end(std::string why) {
        const std::lock_guard lock(m_mutex);
        m_end = {kMidiError, std::move(why)};
    }

private:
    mutable std::mutex m_mutex;
    std::string m_name;
    std::vector<HeardMessage> m_waiting;
    MidiStatus m_end;
};

class FakeInputService : public MidiInService {
public:
    PortListing listSources() override { return {{}, "FAKE", {"Surface:out"}}; }
    InputOpenResult openNamed(const std::string& name) override {
        opened.push_back(name);
        last = std::make_shared<FakeInput>(name);
        return {{}, last};
    }
    std::vector<std::string> opened;
    std::shared_ptr<FakeInput> last;
};

} // namespace qob::test
