// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Cli.h"

#include "model/CarefulSave.h"
#include "model/Cp1252.h"
#include "model/PresetFile.h"
#include "vocab/Text.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace qob::cli {
namespace {

// The first error of stdout, kept for the message at the end.
int g_stdoutErrno = 0;

} // namespace

void printErr(const QString& text) {
    // The texts a message quotes are escaped already; this only keeps the rest (a file or port
    // name) from steering the terminal.
    std::fprintf(stderr, "%s\n", escapeControlsOnly(text).toLocal8Bit().constData());
}

void printOut(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) !=
            static_cast<std::size_t>(bytes.size()) &&
        g_stdoutErrno == 0)
        g_stdoutErrno = errno;
}

bool finishStdout() {
    // Output so far may sit in the buffer: only the flush and the close say whether it arrived.
    errno = 0;
    if (std::fflush(stdout) != 0 && g_stdoutErrno == 0)
        g_stdoutErrno = errno;
    const bool lost = std::ferror(stdout) != 0;
    errno = 0;
    if (std::fclose(stdout) != 0 && g_stdoutErrno == 0)
        g_stdoutErrno = errno;
    if (!lost && g_stdoutErrno == 0)
        return true;
    printErr(QStringLiteral("qob: cannot write the standard output: ") +
             (g_stdoutErrno ? QString::fromLocal8Bit(std::strerror(g_stdoutErrno))
                            : QStringLiteral("a write failed")));
    return false;
}

bool loadInput(const QString& path, Preset& preset) {
    const FileResult r = loadPresetFile(path, preset);
    if (!r.ok) {
        printErr(QString::fromUtf8(kInvalidPresetText));
        printErr(QString::fromStdString(r.detail));
    }
    return r.ok;
}

bool writeOutput(const QString& path, std::string_view bytes) {
    const FileResult r = saveFileAtomically(path, bytes);
    if (!r.ok)
        printErr(QStringLiteral("qob: cannot write ") + QString::fromStdString(r.detail));
    return r.ok;
}

bool refuseSameFile(const QString& in, const QString& out) {
    struct stat a {};
    struct stat b {};
    if (::stat(QFile::encodeName(in).constData(), &a) != 0 ||
        ::stat(QFile::encodeName(out).constData(), &b) != 0)
        return false; // a missing output is a new file; a missing input fails on reading
    if (a.st_dev != b.st_dev || a.st_ino != b.st_ino)
        return false;
    printErr(QStringLiteral("qob: %1 and %2 are the same file; nothing written").arg(in, out));
    return true;
}

std::optional<DeviceDump> buildImage(const Preset& preset) {
    DumpResult r = BuildDeviceDump(preset);
    if (!r.image)
        printErr(QStringLiteral("qob: cannot build the device image: ") +
                 QString::fromStdString(r.error));
    return r.image;
}

} // namespace qob::cli
