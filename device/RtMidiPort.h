// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/MidiOutPort.h"

#include <memory>
#include <optional>
#include <string_view>

namespace qob {

// Which MIDI service to use. Automatic takes the ALSA sequencer where it can be opened, else a
// running JACK server, else reports that there is none.
enum class MidiApiChoice { Automatic, Alsa, Jack };

// "alsa" or "jack"; nothing for any other word.
std::optional<MidiApiChoice> midiApiFromName(std::string_view name);

// The system's MIDI output: the ALSA sequencer through RtMidi, paced on the steady clock, or
// JACK through a client of our own. Every listing and every open looks for the service afresh,
// so a JACK server started while the editor runs is found.
std::shared_ptr<MidiOutService> makeRtMidiService(MidiApiChoice choice = MidiApiChoice::Automatic);

} // namespace qob
