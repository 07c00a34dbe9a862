// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/MidiInPort.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qob {

// What listening on the ALSA sequencer needs of RtMidi, behind a small interface so that a test
// can stand in for the sequencer (a machine without one cannot run the real thing).
class AlsaInBackend {
public:
    // `delta`: seconds since the previous event, as RtMidi stamps them.
    using Receive = std::function<void(double delta, std::span<const std::uint8_t> bytes)>;
    using Fail = std::function<void(const std::string& why)>;

    virtual ~AlsaInBackend() = default;
    // The sequencer's sources; a failure sets `status`.
    virtual std::vector<std::string> sources(MidiStatus& status) = 0;
    // Starts listening to `source`, or on a port of our own when it is empty. `receive` and
    // `fail` are called on the backend's own thread until the backend is destroyed.
    virtual MidiStatus open(const std::string& source, Receive receive, Fail fail) = 0;
};

// A new connection to the sequencer, or nullptr with the reason in `status`.
using AlsaInBackendFactory = std::function<std::unique_ptr<AlsaInBackend>(MidiStatus& status)>;

// RtMidi on the ALSA sequencer, with SysEx, clock and active sensing let through.
std::unique_ptr<AlsaInBackend> rtMidiAlsaInBackend(MidiStatus& status);

std::shared_ptr<MidiInService>
makeAlsaMidiInService(AlsaInBackendFactory factory = rtMidiAlsaInBackend);

} // namespace qob
