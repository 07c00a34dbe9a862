// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qob {

// Return codes of opening and closing a port. They keep the numbers the editor reported on its
// first platform, so "Couldn't open midi out, rc = 2" means the same as it always did.
inline constexpr int kMidiOk = 0;
inline constexpr int kMidiError = 1;         // any other failure
inline constexpr int kMidiBadDevice = 2;     // the device number names no port
inline constexpr int kMidiInUse = 4;         // the port is taken by someone else
inline constexpr int kMidiInvalidHandle = 5; // closing when no port is open
inline constexpr int kMidiNoService = 6;     // no MIDI service is running

struct MidiStatus {
    int code = kMidiOk;
    std::string detail; // the backend's own words; empty on success
    bool ok() const { return code == kMidiOk; }
};

} // namespace qob
