// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qob::test {

// A MIDI input on the JACK server named by JACK_DEFAULT_SERVER at construction, that keeps
// every message it receives, System Exclusive included, with the frame it arrived at.
class JackReceiver {
public:
    struct Event {
        std::vector<std::uint8_t> bytes;
        std::uint32_t frame; // the cycle's first frame plus the event's offset in it
    };

    explicit JackReceiver(const std::string& clientName);
    ~JackReceiver();
    JackReceiver(const JackReceiver&) = delete;
    JackReceiver& operator=(const JackReceiver&) = delete;

    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    // Full JACK name of the input, "client:in".
    const std::string& portName() const { return m_portName; }
    std::uint32_t sampleRate() const;

    std::vector<std::vector<std::uint8_t>> messages() const;
    std::vector<Event> events() const;
    // True once `count` messages arrived; false after `timeout`.
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout) const;

    // Output ports whose full name contains `part`.
    std::vector<std::string> outputsNamed(const std::string& part) const;
    bool connectFrom(const std::string& output);
    bool disconnectFrom(const std::string& output);

    // Cycles the server missed since the receiver started. A JACK server without realtime
    // scheduling misses one now and then on a busy machine, and the MIDI data of that cycle is
    // lost: a transfer that lost messages is only our fault if no cycle was missed meanwhile.
    int xruns() const;

    // Makes the receiver a late client: its process callback sleeps for `stall` once the total
    // number of messages received reaches each count in `at` (at most four), as one stalled
    // client on a loaded desktop does.
    void stallAt(std::vector<std::size_t> at, std::chrono::milliseconds stall);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_error;
    std::string m_portName;
};

} // namespace qob::test
