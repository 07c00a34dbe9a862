// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTemporaryDir>
#include <QtGlobal>

namespace qob::testing {

// Widgets on the offscreen platform unless a display was asked for, and a private 0700 runtime
// folder, which Qt wants and a bare CI shell lacks. `runtime` must outlive the application.
inline void useOffscreenQt(const QTemporaryDir& runtime) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
}

} // namespace qob::testing
