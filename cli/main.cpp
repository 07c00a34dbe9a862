// SPDX-License-Identifier: GPL-3.0-or-later
// qob: the preset editor's command-line tool, on the same core as the editor.
#include "device/DeviceDump.h"
#include "device/DumpTransfer.h"
#include "device/RtMidiPort.h"
#include "model/PresetFile.h"
#include "vocab/Cp1252.h"
#include "vocab/ElementNames.h"
#include "vocab/PanelText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringDecoder>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include <unistd.h>

namespace {

using namespace qob;

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

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
)";

// How long `send --port 0` gives the user to connect our own port to the surface.
constexpr auto kConnectWait = std::chrono::seconds(5);
constexpr auto kConnectPoll = std::chrono::milliseconds(20);
// A new connection carries data from the server's next cycles on, not at once.
constexpr auto kConnectSettle = std::chrono::milliseconds(100);
constexpr int kProgressWidth = 40;

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) {
    g_interrupted = true;
}

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

std::optional<DeviceDump> buildImage(const Preset& preset) {
    DumpResult r = BuildDeviceDump(preset);
    if (!r.image)
        printErr(QStringLiteral("qob: cannot build the device image: ") +
                 QString::fromStdString(r.error));
    return r.image;
}

std::string_view bytesOf(const auto& container) {
    return {reinterpret_cast<const char*>(container.data()), container.size()};
}

QString openFailure(const MidiStatus& status) {
    return QStringLiteral("Couldn't open midi out, rc = %1").arg(status.code);
}

int cmdPorts(MidiApiChoice api) {
    const PortListing listing = makeRtMidiService(api)->listPorts();
    std::printf("0: %s\n", kMidiMapperName);
    for (std::size_t k = 0; k < listing.names.size(); ++k)
        std::printf("%zu: %s\n", k + 1, listing.names[k].c_str());
    if (!listing.status.ok()) {
        printErr(QStringLiteral("qob: ") + QString::fromStdString(listing.status.detail));
        return kFailed;
    }
    return kOk;
}

// The device number of a list index or of an exact port name.
std::optional<int> deviceFor(MidiOutService& service, const QString& port) {
    bool isIndex = false;
    const int index = port.toInt(&isIndex);
    if (isIndex)
        return index - 1;
    if (port == QLatin1String(kMidiMapperName))
        return kMidiMapperDevice;
    const PortListing listing = service.listPorts();
    for (std::size_t k = 0; k < listing.names.size(); ++k)
        if (QString::fromStdString(listing.names[k]) == port)
            return static_cast<int>(k);
    printErr(
        QStringLiteral("qob: no MIDI output port is named '%1'; 'qob ports' lists them").arg(port));
    if (!listing.status.ok())
        printErr(QStringLiteral("qob: ") + QString::fromStdString(listing.status.detail));
    return std::nullopt;
}

// Nobody hears our own port until the user connects it; JACK drops what goes out before.
bool waitForConnection(MidiOutPort& port) {
    const QString name = QString::fromStdString(port.name());
    const bool canTell = port.connectionCount().has_value();
    printErr((canTell ? QStringLiteral("qob: opened port '%1'; waiting up to %2 s for it to be "
                                       "connected")
                      : QStringLiteral("qob: opened port '%1'; this MIDI service cannot tell when "
                                       "it is connected, so sending starts in %2 s"))
                 .arg(name)
                 .arg(kConnectWait.count()));
    const auto until = std::chrono::steady_clock::now() + kConnectWait;
    while (!g_interrupted && std::chrono::steady_clock::now() < until) {
        if (canTell && port.connectionCount().value_or(0) > 0) {
            std::this_thread::sleep_for(kConnectSettle);
            return true;
        }
        std::this_thread::sleep_for(kConnectPoll);
    }
    if (!canTell)
        return !g_interrupted;
    printErr(QStringLiteral("qob: nothing was connected to '%1'; nothing sent").arg(name));
    return false;
}

// RtMidi may open a named port without reaching it; then every block would be lost.
bool reachesTarget(MidiOutPort& port) {
    if (port.connectionCount().value_or(1) != 0)
        return true;
    printErr(QStringLiteral("qob: '%1' is connected to nothing; nothing sent")
                 .arg(QString::fromStdString(port.name())));
    return false;
}

void drawProgress(int handedOver) {
    const int filled = handedOver * kProgressWidth / kDumpBlocks;
    std::fprintf(stderr, "\r[%s%s] %3d/%d", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kProgressWidth - filled), ' ').c_str(), handedOver,
                 kDumpBlocks);
    std::fflush(stderr);
}

int cmdSend(const Preset& preset, const QString& portArg, int slot, MidiApiChoice api) {
    const std::optional<DeviceDump> image = buildImage(preset);
    if (!image)
        return kFailed;
    const DumpBlocks blocks = makeDumpBlocks(*image, slot);

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const std::shared_ptr<MidiOutService> service = makeRtMidiService(api);
    const std::optional<int> device = deviceFor(*service, portArg);
    if (!device)
        return kFailed;
    const OpenResult opened = service->open(*device);
    if (!opened.status.ok()) {
        printErr(openFailure(opened.status));
        printErr(QString::fromStdString(opened.status.detail));
        return kFailed;
    }
    MidiOutPort& port = *opened.port;
    const QString name = QString::fromStdString(port.name());
    if (!(*device == kMidiMapperDevice ? waitForConnection(port) : reachesTarget(port))) {
        port.close();
        return kFailed;
    }

    const bool bar = isatty(STDERR_FILENO) != 0;
    const TransferOutcome outcome =
        transferDump(blocks, port, TransferClock::steady(), g_interrupted,
                     bar ? std::function<void(int)>(drawProgress) : std::function<void(int)>());
    if (bar)
        std::fputc('\n', stderr);
    const MidiStatus closed = port.close();

    switch (outcome.kind) {
    case TransferOutcome::Kind::Cancelled:
        printErr(QStringLiteral("qob: interrupted after %1 of %2 blocks")
                     .arg(outcome.handedOver)
                     .arg(kDumpBlocks));
        return kFailed;
    case TransferOutcome::Kind::Failed:
        printErr(QStringLiteral("qob: sending stopped at block %1 of %2: %3")
                     .arg(outcome.failedBlock + 1)
                     .arg(kDumpBlocks)
                     .arg(QString::fromStdString(outcome.error)));
        return kFailed;
    case TransferOutcome::Kind::Sent:
        break;
    }
    if (!closed.ok()) {
        printErr(QStringLiteral("qob: all %1 blocks were handed over, but closing '%2' failed: %3")
                     .arg(kDumpBlocks)
                     .arg(name, QString::fromStdString(closed.detail)));
        return kFailed;
    }
    std::printf("sent %d blocks to slot %d through '%s'\n", kDumpBlocks, slot, port.name().c_str());
    return kOk;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
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
    const QCommandLineOption layerOpt("layer", "Layer to show: daw or midi.", "daw|midi");
    const QCommandLineOption slotOpt("slot", "Preset slot of the surface, 1..8.", "N", "1");
    const QCommandLineOption portOpt("port", "MIDI output port: number or exact name.", "P");
    const QCommandLineOption apiOpt("api", "MIDI service: alsa or jack.", "alsa|jack");
    parser.addOptions({outOpt, layerOpt, slotOpt, portOpt, apiOpt});
    parser.addPositionalArgument("command", "check, show, copy, image, syx, ports or send.");
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
    const QStringList known{"check", "show", "copy", "image", "syx", "ports", "send"};
    if (!known.contains(command))
        return usage(QStringLiteral("unknown command '%1'").arg(command));
    if (command == "ports" && args.size() != 1)
        return usage(QStringLiteral("'ports' takes no file"));
    if (command != "ports" && args.size() != 2)
        return usage(QStringLiteral("'%1' takes exactly one input file").arg(command));

    const bool needsOut = command == "copy" || command == "image" || command == "syx";
    if (needsOut && !parser.isSet(outOpt))
        return usage(QStringLiteral("'%1' needs -o OUT").arg(command));
    if (!needsOut && parser.isSet(outOpt))
        return usage(QStringLiteral("'%1' takes no -o").arg(command));
    if (parser.isSet(layerOpt) && command != "show")
        return usage(QStringLiteral("--layer is only for 'show'"));
    if (parser.isSet(slotOpt) && command != "syx" && command != "send")
        return usage(QStringLiteral("--slot is only for 'syx' and 'send'"));
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
