// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTemporaryDir>
#include <QtGlobal>

namespace qob::testing {

// Widgets on the offscreen platform unless a display was asked for, a private 0700 runtime
// folder, which Qt wants and a bare CI shell lacks, and a cache folder of the test's own. `runtime`
// must outlive the application.
inline void useOffscreenQt(const QTemporaryDir& runtime) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    // The editor keeps its rendered skin in the user's cache folder: tests, and the editors they
    // start, neither read nor fill the real one.
    if (runtime.isValid())
        qputenv("XDG_CACHE_HOME", (runtime.path() + QStringLiteral("/cache")).toLocal8Bit());
}

} // namespace qob::testing
