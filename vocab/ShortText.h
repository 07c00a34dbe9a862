// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <cstdint>
#include <span>
#include <string>

namespace qob {

// What a record sends, in the short words a musician writes on a console strip: "CC 7 ch 1",
// "Note 36 ch 10", "Prog 5 ch 1", "Pitch bend ch 2", "Ctrl+S", "SysEx 7F 7F 06 04". Data bytes
// are the stored numbers, channels count from 1. Empty for a record that sends nothing (a status
// that is no event, keystroke or SysEx).
std::string shortEventText(const ElementAssignment& record);

// A message as heard from the surface, in the same words: "CC 7 ch 1", "Note off 36 ch 10" (a
// Note On with velocity 0 too), "SysEx 7E 7F 09 01"; the status byte in hex for anything else.
std::string heardEventText(std::span<const std::uint8_t> message);
// "B0 07 64"
std::string hexBytes(std::span<const std::uint8_t> bytes);

// The behaviour where it is not the default: "Push" on keys, "Drawbar" on continuous controls;
// empty for Toggle, Normal, the Wheel, and records that are no MIDI event (the editor sets the
// mode only with an event).
std::string shortModeText(const ElementAssignment& record, int element);

} // namespace qob
