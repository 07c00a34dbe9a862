// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Cli.h"

#include <cstdio>

namespace qob::cli {

void printErr(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

std::optional<DeviceDump> buildImage(const Preset& preset) {
    DumpResult r = BuildDeviceDump(preset);
    if (!r.image)
        printErr(QStringLiteral("qob: cannot build the device image: ") +
                 QString::fromStdString(r.error));
    return r.image;
}

} // namespace qob::cli
