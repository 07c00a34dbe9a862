// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/CarefulSave.h"
#include "model/Preset.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qob {

// The fixed text every failed load starts with; the detail follows it.
inline constexpr const char* kInvalidPresetText = "Invalid QOB-TANDRIX Preset File!";
inline constexpr const char* kPresetFileFilter = "QOB TANDRIX Preset File(*.qob)|*.qob";
// The longest item a reader takes, quotes not counted. Real items have a few dozen bytes at most;
// the limit only cuts off a run without separators (a file that is not a preset at all).
inline constexpr std::size_t kMaxItemBytes = 4096;

struct ReadResult {
    std::optional<Preset> preset; // set only on success
    int line = 0;                 // 1-based line of the failure, 0 when not about a line
    std::string detail;           // what was expected and what was found (UTF-8)
};

// Reads a whole file's bytes on top of `base`: fields the file does not carry (PresetIndex, the
// Explain of a SysEx record, the SysExTail of other records) keep the values of `base`.
ReadResult readPreset(std::string_view bytes, const Preset& base = Preset{});

// "line N: detail" for a failed read, or the detail alone when it is not about a line.
std::string failureText(const ReadResult& result);

// The one layout the writer produces (511 lines, CR LF).
std::string writePreset(const Preset& preset);

// One record as the file holds it, after its element's header and layer marker: the form an
// assignment takes on the clipboard, so that it goes into a text editor and back.
std::string writeRecord(int element, Layer layer, const ElementAssignment& record);

struct RecordReadResult {
    std::optional<ElementAssignment> record; // set only on success
    std::optional<Layer> layer;              // the layer marker, when the text has one
    int line = 0;
    std::string detail;
};

// Reads one record written by writeRecord; the header and the layer marker may be left out.
// Fields the text does not carry (Explain of a SysEx record, SysExTail of others) keep `base`'s.
RecordReadResult readRecord(std::string_view bytes, const ElementAssignment& base);

// Loads `path` into `preset` only when the whole file is valid; on failure `preset` is untouched.
// Only a regular file is read, a chunk at a time, and nothing after the last element.
FileResult loadPresetFile(const QString& path, Preset& preset);

// Written through saveFileAtomically, with all it keeps of an existing file.
FileResult savePresetFile(const QString& path, const Preset& preset);

} // namespace qob
