// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/MidiInPort.h"

#include <cstddef>
#include <memory>

namespace qob {

// What the process callback hands to the reader: room for about three seconds of a dense
// stream (20,000 three-byte messages a second) that nobody takes.
inline constexpr std::size_t kJackInputRingBytes = std::size_t{1} << 20;

// MIDI input through a JACK server, on a client of our own whose process callback stamps every
// event with its frame on the server's clock.
std::shared_ptr<MidiInService> makeJackMidiInService(std::size_t ringBytes = kJackInputRingBytes);

} // namespace qob
