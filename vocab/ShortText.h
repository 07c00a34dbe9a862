// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <string>

namespace qob {

// What a record sends, in a musician's few words: "CC 7 ch 1", "Note 36 ch 10", "Prog 5 ch 1",
// "Pitch bend ch 2", "Ctrl+S", "SysEx 7F 7F 06 04"; empty for a record that sends nothing.
// Numbers are the record's own bytes (controller, note and program as stored); the channel
// counts from 1. ASCII only.
std::string shortEventText(const ElementAssignment& record, Layer layer, int element);

} // namespace qob
