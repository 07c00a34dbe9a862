// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qob {

// "V Pot  1", "Fader Master", "Transport: STOP"; empty outside 0..55.
std::string elementName(int element);
// The file's section header, "* : V_Pot  1" .. "* : Button  16".
std::string elementHeader(int element);

// "DAW", "MIDI": the layer as the panel's key names it.
std::string_view layerName(Layer layer);

// Bank partner of a bank-1 element (0..15 +32, 18..25 +30) or of a bank-2 element; an element
// without a partner maps to itself.
int bank2Partner(int element);
int bank1Partner(int element);

// Whether the picture shows the element in the bank the SHIFT key selects: the V-Pots, Faders
// and Buttons of that bank, and every element both banks share.
bool shownInBank(int element, bool channelShift);

bool isButton(int element);      // 18..25, 48..55
bool isKey(int element);         // buttons and transport keys: 18..30, 48..55
bool isVPotOrFader(int element); // 0..15, 32..47

// The Mode bit the element's kind uses: Push for keys, Drawbar for the continuous controls
// (V-Pots, Faders, Fader Master, Breath Control); 0 for the Wheel, which carries neither.
std::uint8_t modeBitOf(int element);

} // namespace qob
