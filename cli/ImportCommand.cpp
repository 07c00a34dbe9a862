// SPDX-License-Identifier: GPL-3.0-or-later
// qob import: a preset rebuilt from the SysEx blocks of a dump, the inverse of `qob syx`.
#include "cli/Cli.h"
#include "device/DumpImport.h"
#include "model/PresetFile.h"

namespace qob::cli {

int cmdImport(const Invocation& call) {
    const QString& in = call.files.at(0);
    const DumpImport r = importDumpFile(in, call.slot);
    if (!r.preset) {
        QString error = QString::fromStdString(r.error);
        if (r.problem != DumpImportProblem::File)
            error = in + QStringLiteral(": ") + error;
        if (r.problem == DumpImportProblem::SeveralSlots)
            error += QStringLiteral(" with --slot N");
        printErr(QStringLiteral("qob: cannot import ") + error);
        return kFailed;
    }
    for (const std::string& note : r.notes)
        printErr(QStringLiteral("qob: note: ") + QString::fromStdString(note));
    if (!writeOutput(call.out, writePreset(*r.preset)))
        return kFailed;
    // The file has no place for the slot; say it where it is not the default.
    if (r.preset->PresetIndex != kFirstPresetSlot)
        printErr(QStringLiteral("qob: note: the dump was for slot %1, which a .qob file does not "
                                "keep: give --slot %1 to 'syx' or 'send'")
                     .arg(r.preset->PresetIndex));
    return kOk;
}

} // namespace qob::cli
