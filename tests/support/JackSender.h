// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qob::test {

// A MIDI source on the JACK server named by JACK_DEFAULT_SERVER at construction, which writes
// each event of a table at its own frame: what the surface looks like to a listener.
class JackSender {
public:
    struct Event {
        std::uint32_t frame; // counted from the first frame of the cycle the table starts in
        std::vector<std::uint8_t> bytes;
    };

    explicit JackSender(const std::string& clientName);
    ~JackSender();
    JackSender(const JackSender&) = delete;
    JackSender& operator=(const JackSender&) = delete;

    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    const std::string& portName() const { return m_portName; } // "client:out"
    std::uint32_t sampleRate() const;
    int connections() const;

    // Where on the server's clock (microseconds, as jack_get_time counts) the last table's
    // event at `frame` went out; now on that clock.
    std::uint64_t timeOf(std::uint32_t frame) const;
    static std::uint64_t now();

    // Writes the table (events in frame order) and returns once the last one is out; false
    // after `timeout`.
    bool send(std::vector<Event> events, std::chrono::milliseconds timeout);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_error;
    std::string m_portName;
};

} // namespace qob::test
