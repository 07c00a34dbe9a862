// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ElementNames.h"
#include "model/NumberText.h"
#include "model/Preset.h"

#include <optional>
#include <string>
#include <string_view>

namespace qob {

// The names of the MIDI vocabulary, exactly as the panel shows them.
std::string_view EventTypeName(std::uint8_t status); // empty for 0xB_/0xC_ and non-events
std::string_view ControllerName(int number);         // "MIDI CC" outside the named ones
std::string_view ProgramName(int number);            // empty above 127

// Panel texts.
std::string keystrokeText(std::uint8_t modifiers, std::uint8_t key); // "<Ctrl+Alt> <F12>"
// A key as the panel names it ("<F12>", "A", "<Space>"); empty for a code it has no name for.
std::string keyName(int key);
std::string sysexText(const ElementAssignment& a);    // "43 10 4C 00 F7"
std::string midiDataText(const ElementAssignment& a); // " 176, 7, 100"
// The description of a MIDI record: Explain in the DAW layer, the event name in the MIDI layer;
// nullopt where the name table yields no text.
std::optional<std::string> midiExplainText(const ElementAssignment& a, Layer layer);
// "Push"/"Toggle" for Buttons, "Drawbar"/"Normal" for V-Pots and Faders, empty otherwise.
std::string modeWord(int element, const ElementAssignment& a);

} // namespace qob
