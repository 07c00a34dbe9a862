// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands of `qob` share: exit codes, messages, input and output, the device image.
#pragma once

#include "device/DeviceDump.h"
#include "device/RtMidiPort.h"
#include "model/Preset.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string_view>

namespace qob::cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

// One line on stderr, controls escaped.
void printErr(const QString& text);
// One line on stdout, as UTF-8; whether it got there is checked once, by finishStdout.
void printOut(const QString& line);
// Flushes and closes stdout; false, with a message, when any of its output was lost.
bool finishStdout();

// Loads a preset; on failure prints the fixed text and where the file is wrong.
bool loadInput(const QString& path, Preset& preset);
// Whole or nothing: an existing file is replaced only once every byte is written.
bool writeOutput(const QString& path, std::string_view bytes);
// True, with a message, when `out` is the very file `in` (same device and inode, so also
// through a link): writing it would destroy the input.
bool refuseSameFile(const QString& in, const QString& out);

std::optional<DeviceDump> buildImage(const Preset& preset);

template <typename Container> std::string_view bytesOf(const Container& container) {
    return {reinterpret_cast<const char*>(container.data()), container.size()};
}

// What the command line asked for, checked against the command's table row.
struct Invocation {
    QStringList files;
    QString out;
    std::optional<Layer> layer;
    std::optional<int> slot;
    QString port;
    MidiApiChoice api = MidiApiChoice::Automatic;
    bool csv = false;
    bool json = false;
    std::optional<long long> count;
    std::optional<double> seconds;
};

int cmdCheck(const Invocation& call);
int cmdCopy(const Invocation& call);
int cmdImage(const Invocation& call);
int cmdSyx(const Invocation& call);
int cmdShow(const Invocation& call);
int cmdDiff(const Invocation& call);
int cmdImport(const Invocation& call);
int cmdPorts(const Invocation& call);
int cmdSend(const Invocation& call);
int cmdMonitor(const Invocation& call);

// A plain core application, or for `sheet` a GUI one on the offscreen platform.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv);
bool isSheetOutput(const QString& path); // .pdf, .png or .svg
int cmdSheet(const Invocation& call);

} // namespace qob::cli
