// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/MidiInPort.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qob {

// Turns what a MIDI service hands over into whole messages: a SysEx that comes in pieces is
// joined up to its F7, and realtime bytes (clock, start, stop, active sensing, ...), which can
// stand between any two bytes, are taken out and counted.
class MidiInStream {
public:
    // One event as the service gave it, received at `time`. Whole messages go to `out`.
    void feed(std::span<const std::uint8_t> bytes, double time, std::vector<HeardMessage>& out);

    std::uint64_t realtime() const { return m_realtime; }
    // SysEx cut short by another status byte, or too long to keep.
    std::uint64_t broken() const { return m_broken; }

    // Longer SysEx is no message of the surface's; it is skipped to its F7 and counted.
    static constexpr std::size_t kLongestSysEx = 65536;

private:
    void finishSysEx(std::vector<HeardMessage>& out);

    std::vector<std::uint8_t> m_sysex; // a SysEx begun and not ended
    double m_sysexTime = 0;
    bool m_inSysEx = false;
    bool m_skipping = false; // an over-long SysEx, until its end
    std::uint64_t m_realtime = 0;
    std::uint64_t m_broken = 0;
};

} // namespace qob
