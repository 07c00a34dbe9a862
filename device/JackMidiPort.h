// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/MidiOutPort.h"

#include <memory>

namespace qob {

// MIDI output through a JACK server (the one JACK_DEFAULT_SERVER names, else the default one),
// on a client of our own whose process callback places every block at its own frame.
std::shared_ptr<MidiOutService> makeJackMidiService();

} // namespace qob
