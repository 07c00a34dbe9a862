// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <string>
#include <string_view>
#include <vector>

// Edits of whole records that the editor offers beside its dialog: paste and fill a row.
namespace qob {

// A refusal says what (`text`) and why (`detail`, naming the element and value); UTF-8.
struct EditResult {
    bool ok = true;
    std::string text;
    std::string detail;
};

// Keystrokes and SysEx strings exist only in the MIDI layer of Buttons and transport keys.
bool takesKeystrokeOrSysEx(int element, Layer layer);

// The 16 V-Pots, Faders or Buttons `element` belongs to, both banks in element order (V-Pot 1 to
// 16); empty for the elements that exist once.
std::vector<int> rowOf(int element);

// Puts the record that `bytes` (Windows-1252, the clipboard's form) holds onto `element` in
// `layer`. A Mode bit the element does not use is dropped. Refused: text that is no record, and a
// keystroke or SysEx string where the element does not take one.
EditResult pasteRecord(Preset& preset, int element, Layer layer, std::string_view bytes);

enum class FillStep { Number, Channel };

// Copies the MIDI event of `element` in `layer` to the other 15 of its row, the channel or the
// first data byte one higher per element after it and one lower per element before it; a number
// at the end of the label steps along. Changes nothing when a value would leave its range. On
// success `text` says what was filled: "Filled Faders 1-16: CC 7 to 22".
EditResult fillRow(Preset& preset, int element, Layer layer, FillStep step);

} // namespace qob
