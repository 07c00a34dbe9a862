// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands of `qob` share: exit codes, messages and the device image.
#pragma once

#include "device/DeviceDump.h"
#include "device/RtMidiPort.h"
#include "model/Preset.h"

#include <QCoreApplication>
#include <QString>

#include <memory>
#include <optional>
#include <string_view>

namespace qob::cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

void printErr(const QString& text);
std::optional<DeviceDump> buildImage(const Preset& preset);

template <typename Container> std::string_view bytesOf(const Container& container) {
    return {reinterpret_cast<const char*>(container.data()), container.size()};
}

int cmdPorts(MidiApiChoice api);
int cmdSend(const Preset& preset, const QString& portArg, int slot, MidiApiChoice api);

// A plain core application, or for `sheet` a GUI one on the offscreen platform.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv);
bool isSheetOutput(const QString& path); // .pdf, .png or .svg
int cmdSheet(const Preset& preset, const QString& in, const QString& out, const QString& layer);

} // namespace qob::cli
