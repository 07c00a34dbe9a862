// SPDX-License-Identifier: GPL-3.0-or-later
// qob sheet: the preset sheet as PDF, PNG or SVG, drawn without a display.
#include "cli/Cli.h"
#include "ui/picture/PresetSheet.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <string_view>

namespace qob::cli {
namespace {

QtMessageHandler g_qtMessages = nullptr;

// Drawing the sheet needs no runtime folder; Qt's note that none is set would only worry.
void withoutRuntimeDirNote(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    g_qtMessages(type, context, message);
}

} // namespace

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    // Only the sheet draws text, and fonts need a GUI application. It opens no window, so it
    // runs on the offscreen platform whatever the session offers, display or none. A file that
    // happens to be called "sheet" only costs the other commands a little start-up time.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "sheet") {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            g_qtMessages = qInstallMessageHandler(withoutRuntimeDirNote);
            return std::make_unique<QGuiApplication>(argc, argv);
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

bool isSheetOutput(const QString& path) {
    return sheetFormatFor(path).has_value();
}

int cmdSheet(const Invocation& call) {
    Preset preset;
    const QString& in = call.files.at(0);
    if (!loadInput(in, preset))
        return kFailed;
    // The heading names the slot the sheet is for.
    preset.PresetIndex = static_cast<std::int16_t>(call.slot.value_or(kFirstPresetSlot));
    std::vector<Layer> layers;
    for (Layer layer : {Layer::Daw, Layer::Midi})
        if (!call.layer || *call.layer == layer)
            layers.push_back(layer);
    const SheetWriteResult r = writeSheetFile(call.out, *sheetFormatFor(call.out), preset, layers,
                                              QFileInfo(in).fileName());
    if (!r.ok) {
        printErr(QStringLiteral("qob: cannot write ") + r.error);
        return kFailed;
    }
    return kOk;
}

} // namespace qob::cli
