// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <string>
#include <string_view>

namespace qob {

struct FileResult {
    bool ok = true;
    std::string detail; // UTF-8: line and item, or the path and the OS reason
};

// A failure as loads and saves report it: the path, then the reason.
FileResult fileFailure(const QString& path, const std::string& reason);

// An existing file stays intact on failure and keeps its owner, group, permission bits and other
// names (hard links); a symbolic link is followed, not replaced. Refuses to replace a folder, a
// device or a FIFO, a file the user may not write and a read-only file (also for root).
FileResult saveFileAtomically(const QString& path, std::string_view bytes);

} // namespace qob

// How saveFileAtomically writes: exposed for tests that make a write fail halfway.
namespace qob::detail {

struct SaveSteps {
    // Runs just before a file with other names is rewritten in place, its new content on disk.
    std::function<void()> beforeRewrite;
};

FileResult saveFileAtomically(const QString& path, std::string_view bytes, const SaveSteps& steps);

} // namespace qob::detail
