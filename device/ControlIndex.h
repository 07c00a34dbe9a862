// SPDX-License-Identifier: GPL-3.0-or-later
// Which controls of a preset a MIDI message can have come from.
#pragma once

#include "model/Preset.h"

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace qob {

struct ControlMatch {
    int element = 0;
    Layer layer = Layer::Daw;

    bool operator==(const ControlMatch&) const = default;
};

// Built once per preset; a lookup is one map search. Matches come DAW layer first, each layer in
// element order, both banks alike.
class ControlIndex {
public:
    explicit ControlIndex(const Preset& preset);

    // `message`: one whole MIDI message, status byte first (a SysEx from F0 to F7 inclusive).
    // A malformed message matches nothing.
    std::vector<ControlMatch> match(std::span<const std::uint8_t> message) const;

    // The controls whose record is a keystroke, which no MIDI input can hear.
    const std::vector<ControlMatch>& keystrokeControls() const { return m_keystrokes; }

private:
    std::unordered_map<std::uint32_t, std::vector<ControlMatch>> m_events;
    // The bytes after F0, end mark included, as chars so a message can be looked up unchanged.
    std::map<std::string, std::vector<ControlMatch>, std::less<>> m_sysex;
    std::vector<ControlMatch> m_keystrokes;
};

// The match to show: the first in the layer and bank shown, else the first of all. `matches`
// must not be empty.
ControlMatch shownMatch(const std::vector<ControlMatch>& matches, Layer shownLayer,
                        bool channelShift);

} // namespace qob
