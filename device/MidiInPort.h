// SPDX-License-Identifier: GPL-3.0-or-later
// Listening: the surface sends MIDI whenever a control moves, and this is how we hear it.
#pragma once

#include "device/MidiOutPort.h"
#include "device/MidiStatus.h"
#include "device/RtMidiPort.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qob {

// Our own input, which the user connects to the surface in a patchbay: a client of this name
// with one port, kOwnInputPortName.
inline constexpr const char* kOwnInputName = "QOB-TANDRIX Editor In";
inline constexpr const char* kOwnInputPortName = "MIDI In";

struct HeardMessage {
    std::vector<std::uint8_t> bytes; // one whole message, status first; a SysEx from F0 to F7
    double time = 0;                 // seconds on the service's clock (JACK: its frame clock)
};

struct InputCounts {
    std::uint64_t realtime = 0; // clock, start, continue, stop, active sensing, reset: left out
    std::uint64_t dropped = 0;  // messages that arrived faster than they were taken and were lost
    // Cycles the server reported missed while we listened: a server that does not wait for late
    // clients loses what they would have read in those cycles, and nobody can count it.
    std::uint64_t missedCycles = 0;
};

// One open input. Every call comes from one thread at a time.
class MidiInPort {
public:
    virtual ~MidiInPort() = default;
    // The source as the user knows it, or our own port's name.
    virtual std::string name() const = 0;
    // Waits up to `wait` for messages, then returns every one that has come, oldest first.
    virtual std::vector<HeardMessage> take(std::chrono::milliseconds wait) = 0;
    virtual InputCounts counts() const = 0;
    // Not ok once the input has ended: the service stopped, or the source or our connection to
    // it went away. Nothing more comes after that.
    virtual MidiStatus status() = 0;
};

struct InputOpenResult {
    MidiStatus status;
    std::shared_ptr<MidiInPort> port; // set only on success
};

// The system's MIDI sources.
class MidiInService {
public:
    virtual ~MidiInService() = default;
    // The sources in the service's order; `names` holds no entry of our own.
    virtual PortListing listSources() = 0;
    // Looks the name up and connects to that source on one connection to the service;
    // kMidiBadDevice when no source has the name. kOwnInputName opens our own input port,
    // which waits for the user's connections.
    virtual InputOpenResult openNamed(const std::string& name) = 0;
};

// ALSA through RtMidi or JACK through a client of our own, chosen as for output.
std::shared_ptr<MidiInService> makeMidiInService(MidiApiChoice choice = MidiApiChoice::Automatic);

} // namespace qob
