// SPDX-License-Identifier: GPL-3.0-or-later
// qob check, copy, image and syx: a preset file read, and written again in another form.
#include "cli/Cli.h"
#include "model/PresetFile.h"

#include <string>

namespace qob::cli {

int cmdCheck(const Invocation& call) {
    Preset preset;
    return loadInput(call.files.at(0), preset) ? kOk : kFailed;
}

int cmdCopy(const Invocation& call) {
    Preset preset;
    if (!loadInput(call.files.at(0), preset))
        return kFailed;
    return writeOutput(call.out, writePreset(preset)) ? kOk : kFailed;
}

namespace {

// The device image of the input file; the message is printed on failure.
std::optional<DeviceDump> inputImage(const Invocation& call) {
    Preset preset;
    if (!loadInput(call.files.at(0), preset))
        return std::nullopt;
    return buildImage(preset);
}

} // namespace

int cmdImage(const Invocation& call) {
    const std::optional<DeviceDump> image = inputImage(call);
    if (!image)
        return kFailed;
    return writeOutput(call.out, bytesOf(*image)) ? kOk : kFailed;
}

int cmdSyx(const Invocation& call) {
    const std::optional<DeviceDump> image = inputImage(call);
    if (!image)
        return kFailed;
    std::string syx;
    for (const DumpBlock& block : makeDumpBlocks(*image, call.slot.value_or(kFirstPresetSlot)))
        syx += bytesOf(block);
    return writeOutput(call.out, syx) ? kOk : kFailed;
}

} // namespace qob::cli
