// SPDX-License-Identifier: GPL-3.0-or-later
// qob: the preset editor's command-line tool, on the same core as the editor.
#include "cli/Cli.h"
#include "device/DeviceDump.h"
#include "device/RtMidiPort.h"
#include "model/PresetFile.h"
#include "vocab/Cp1252.h"
#include "vocab/ElementNames.h"
#include "vocab/PanelText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringDecoder>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

using namespace qob;
using namespace qob::cli;

const char* const kCommandsHelp = R"(Commands:
  check IN.qob                          exit 0 if IN loads
  show  IN.qob [--layer daw|midi]       the 56 elements as the editor's panel shows them
  copy  IN.qob -o OUT.qob               load IN and save it to OUT
  image IN.qob -o OUT.bin               the 1536-byte device image
  syx   IN.qob -o OUT.syx [--slot N]    the 192 SysEx blocks for preset slot N (1..8, default 1)
  ports [--api alsa|jack]               the MIDI output ports, numbered as the editor lists them
  send  IN.qob --port P [--slot N] [--api alsa|jack]
                                        send the preset to slot N through port P (a number from
                                        'ports' or an exact port name; 0 is a port of our own)
  sheet IN.qob -o OUT.pdf|OUT.png|OUT.svg [--layer daw|midi] [--slot N]
                                        the preset sheet: the surface with every assignment
                                        written beside its element, one page per layer
)";

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
bool writeOutput(const QString& path, std::string_view bytes) {
    const FileResult r = saveFileAtomically(path, bytes);
    if (!r.ok)
        printErr(QStringLiteral("qob: cannot write ") + QString::fromStdString(r.detail));
    return r.ok;
}

// Qt reads the arguments as UTF-8 and turns other bytes into U+FFFD, so such a file name would
// only give a puzzling "No such file". Says which argument it is instead.
std::optional<int> nonUtf8Argument(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        [[maybe_unused]] const QString decoded = utf8(QByteArrayView(argv[i]));
        if (utf8.hasError())
            return i;
    }
    return std::nullopt;
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

} // namespace

int main(int argc, char* argv[]) {
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qob"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QOB_VERSION));
    if (const std::optional<int> bad = nonUtf8Argument(argc, argv))
        return usage(
            QStringLiteral("argument %1 is not valid UTF-8; file names must be UTF-8").arg(*bad));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks, shows, converts and sends QOB-TANDRIX preset files.\n\n") +
        QString::fromUtf8(kCommandsHelp));
    const QCommandLineOption helpOpt = parser.addHelpOption();
    const QCommandLineOption versionOpt = parser.addVersionOption();
    const QCommandLineOption outOpt({"o", "output"}, "Output file.", "OUT");
    const QCommandLineOption layerOpt("layer", "Layer to show or draw: daw or midi.", "daw|midi");
    const QCommandLineOption slotOpt("slot", "Preset slot of the surface, 1..8.", "N", "1");
    const QCommandLineOption portOpt("port", "MIDI output port: number or exact name.", "P");
    const QCommandLineOption apiOpt("api", "MIDI service: alsa or jack.", "alsa|jack");
    parser.addOptions({outOpt, layerOpt, slotOpt, portOpt, apiOpt});
    parser.addPositionalArgument("command", "check, show, copy, image, syx, ports, send or sheet.");
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
    const QStringList known{"check", "show", "copy", "image", "syx", "ports", "send", "sheet"};
    if (!known.contains(command))
        return usage(QStringLiteral("unknown command '%1'").arg(command));
    if (command == "ports" && args.size() != 1)
        return usage(QStringLiteral("'ports' takes no file"));
    if (command != "ports" && args.size() != 2)
        return usage(QStringLiteral("'%1' takes exactly one input file").arg(command));

    const bool needsOut =
        command == "copy" || command == "image" || command == "syx" || command == "sheet";
    if (needsOut && !parser.isSet(outOpt))
        return usage(QStringLiteral("'%1' needs -o OUT").arg(command));
    if (!needsOut && parser.isSet(outOpt))
        return usage(QStringLiteral("'%1' takes no -o").arg(command));
    if (parser.isSet(layerOpt) && command != "show" && command != "sheet")
        return usage(QStringLiteral("--layer is only for 'show' and 'sheet'"));
    if (parser.isSet(slotOpt) && command != "syx" && command != "send" && command != "sheet")
        return usage(QStringLiteral("--slot is only for 'syx', 'send' and 'sheet'"));
    if (command == "sheet" && !isSheetOutput(parser.value(outOpt)))
        return usage(QStringLiteral("'sheet' writes a .pdf, .png or .svg file, not '%1'")
                         .arg(parser.value(outOpt)));
    if (parser.isSet(portOpt) != (command == "send"))
        return usage(QStringLiteral("'send' needs --port P, and only 'send' takes it"));
    if (parser.isSet(apiOpt) && command != "ports" && command != "send")
        return usage(QStringLiteral("--api is only for 'ports' and 'send'"));
    MidiApiChoice api = MidiApiChoice::Automatic;
    if (parser.isSet(apiOpt)) {
        const std::optional<MidiApiChoice> chosen =
            midiApiFromName(parser.value(apiOpt).toStdString());
        if (!chosen)
            return usage(
                QStringLiteral("--api must be alsa or jack, not '%1'").arg(parser.value(apiOpt)));
        api = *chosen;
    }

    const QString layer = parser.value(layerOpt);
    if (parser.isSet(layerOpt) && layer != "daw" && layer != "midi")
        return usage(QStringLiteral("--layer must be daw or midi, not '%1'").arg(layer));
    bool slotOk = false;
    const int slot = parser.value(slotOpt).toInt(&slotOk);
    if (!slotOk || slot < kFirstPresetSlot || slot > kLastPresetSlot)
        return usage(QStringLiteral("--slot must be 1..8, not '%1'").arg(parser.value(slotOpt)));

    if (command == "ports")
        return cmdPorts(api);

    Preset preset;
    if (!loadInput(args.at(1), preset))
        return kFailed;

    const QString out = parser.value(outOpt);
    if (command == "check")
        return kOk;
    if (command == "show")
        return cmdShow(preset, layer);
    if (command == "copy")
        return writeOutput(out, writePreset(preset)) ? kOk : kFailed;
    if (command == "send")
        return cmdSend(preset, parser.value(portOpt), slot, api);
    if (command == "sheet") {
        preset.PresetIndex = static_cast<std::int16_t>(slot);
        return cmdSheet(preset, args.at(1), out, layer);
    }

    const std::optional<DeviceDump> image = buildImage(preset);
    if (!image)
        return kFailed;
    if (command == "image")
        return writeOutput(out, bytesOf(*image)) ? kOk : kFailed;

    std::string syx;
    for (const DumpBlock& block : makeDumpBlocks(*image, slot))
        syx += bytesOf(block);
    return writeOutput(out, syx) ? kOk : kFailed;
}
