// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qob {

// The MIDI output port behind the editor's MidiOutHandle. Defined with the port layer.
class MidiOutPort;

} // namespace qob
