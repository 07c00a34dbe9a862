// SPDX-License-Identifier: GPL-3.0-or-later
// qob: the preset editor's command-line tool, on the same core as the editor.
#include "device/DeviceDump.h"
#include "model/PresetFile.h"
#include "vocab/Cp1252.h"
#include "vocab/ElementNames.h"
#include "vocab/PanelText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>
#include <string>

namespace {

using namespace qob;

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

const char* const kCommandsHelp = R"(Commands:
  check IN.qob                          exit 0 if IN loads
  show  IN.qob [--layer daw|midi]       the 56 elements as the editor's panel shows them
  copy  IN.qob -o OUT.qob               load IN and save it to OUT
  image IN.qob -o OUT.bin               the 1536-byte device image
  syx   IN.qob -o OUT.syx [--slot N]    the 192 SysEx blocks for preset slot N (1..8, default 1)
)";

void printErr(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

int usage(const QString& why) {
    printErr(QStringLiteral("qob: ") + why);
    printErr(QStringLiteral("Try 'qob --help'."));
    return kUsage;
}

bool loadInput(const QString& path, Preset& preset) {
    const FileResult r = loadPresetFile(path, preset);
    if (!r.ok) {
        printErr(QString::fromUtf8(kInvalidPresetText));
        printErr(QString::fromStdString(r.detail));
    }
    return r.ok;
}

// Whole or nothing: an existing file is replaced only once every byte is written.
bool writeOutput(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        printErr(QStringLiteral("qob: cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

QString padded(const QString& s, int width) {
    return s.leftJustified(width, QLatin1Char(' '));
}

void showLayer(const Preset& preset, Layer layer) {
    std::printf("\n%s layer\n", layer == Layer::Midi ? "MIDI" : "DAW");
    for (int e = 0; e < kElementCount; ++e) {
        const PanelText t = panelText(e, preset.Elements[e].record(layer), layer);
        const QString name = QString::fromStdString(elementName(e));
        QString line = padded(name, 17) + padded(fromCp1252(t.type), 9);
        if (t.isSysEx)
            line += fromCp1252(t.sysex);
        else
            line += padded(fromCp1252(t.data), 24) + fromCp1252(t.explain);
        std::printf("%s\n", line.trimmed().toUtf8().constData());
    }
}

int cmdShow(const Preset& preset, const QString& layerOpt) {
    std::printf("Preset Name  %s\n", fromCp1252(preset.Name).toUtf8().constData());
    std::printf("Fader Limit  %d, %d\n", preset.FaderLimit[0], preset.FaderLimit[1]);
    std::printf("V_Pot Limit  %d, %d\n", preset.VPotLimit[0], preset.VPotLimit[1]);
    if (layerOpt.isEmpty() || layerOpt == QLatin1String("daw"))
        showLayer(preset, Layer::Daw);
    if (layerOpt.isEmpty() || layerOpt == QLatin1String("midi"))
        showLayer(preset, Layer::Midi);
    return kOk;
}

std::optional<DeviceDump> buildImage(const Preset& preset) {
    DumpResult r = BuildDeviceDump(preset);
    if (!r.image)
        printErr(QStringLiteral("qob: cannot build the device image: ") +
                 QString::fromStdString(r.error));
    return r.image;
}

QByteArray bytesOf(const auto& container) {
    return QByteArray(reinterpret_cast<const char*>(container.data()),
                      static_cast<qsizetype>(container.size()));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qob"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QOB_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks, shows and converts QOB-TANDRIX preset files.\n\n") +
        QString::fromUtf8(kCommandsHelp));
    const QCommandLineOption helpOpt = parser.addHelpOption();
    const QCommandLineOption versionOpt = parser.addVersionOption();
    const QCommandLineOption outOpt({"o", "output"}, "Output file.", "OUT");
    const QCommandLineOption layerOpt("layer", "Layer to show: daw or midi.", "daw|midi");
    const QCommandLineOption slotOpt("slot", "Preset slot of the surface, 1..8.", "N", "1");
    parser.addOptions({outOpt, layerOpt, slotOpt});
    parser.addPositionalArgument("command", "check, show, copy, image or syx.");
    parser.addPositionalArgument("IN.qob", "Preset file to read.");

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(helpOpt)) {
        std::printf("%s", parser.helpText().toUtf8().constData());
        return kOk;
    }
    if (parser.isSet(versionOpt)) {
        std::printf("qob %s\n", QOB_VERSION);
        return kOk;
    }

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString command = args.at(0);
    const QStringList known{"check", "show", "copy", "image", "syx"};
    if (!known.contains(command))
        return usage(QStringLiteral("unknown command '%1'").arg(command));
    if (args.size() != 2)
        return usage(QStringLiteral("'%1' takes exactly one input file").arg(command));

    const bool needsOut = command == "copy" || command == "image" || command == "syx";
    if (needsOut && !parser.isSet(outOpt))
        return usage(QStringLiteral("'%1' needs -o OUT").arg(command));
    if (!needsOut && parser.isSet(outOpt))
        return usage(QStringLiteral("'%1' takes no -o").arg(command));
    if (parser.isSet(layerOpt) && command != "show")
        return usage(QStringLiteral("--layer is only for 'show'"));
    if (parser.isSet(slotOpt) && command != "syx")
        return usage(QStringLiteral("--slot is only for 'syx'"));

    const QString layer = parser.value(layerOpt);
    if (parser.isSet(layerOpt) && layer != "daw" && layer != "midi")
        return usage(QStringLiteral("--layer must be daw or midi, not '%1'").arg(layer));
    bool slotOk = false;
    const int slot = parser.value(slotOpt).toInt(&slotOk);
    if (!slotOk || slot < 1 || slot > 8)
        return usage(QStringLiteral("--slot must be 1..8, not '%1'").arg(parser.value(slotOpt)));

    Preset preset;
    if (!loadInput(args.at(1), preset))
        return kFailed;

    const QString out = parser.value(outOpt);
    if (command == "check")
        return kOk;
    if (command == "show")
        return cmdShow(preset, layer);
    if (command == "copy")
        return writeOutput(out, QByteArray::fromStdString(writePreset(preset))) ? kOk : kFailed;

    const std::optional<DeviceDump> image = buildImage(preset);
    if (!image)
        return kFailed;
    if (command == "image")
        return writeOutput(out, bytesOf(*image)) ? kOk : kFailed;

    QByteArray syx;
    for (const DumpBlock& block : makeDumpBlocks(*image, slot))
        syx += bytesOf(block);
    return writeOutput(out, syx) ? kOk : kFailed;
}
