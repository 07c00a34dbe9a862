// SPDX-License-Identifier: GPL-3.0-or-later
// qob: the preset editor's command-line tool, on the same core as the editor. This file parses
// the command line against one table of commands and hands over to the command.
#include "cli/Cli.h"
#include "device/RtMidiPort.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringDecoder>

#include <array>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

using namespace qob;
using namespace qob::cli;

// The options a command may take, as bits.
enum Option : unsigned {
    kOut = 1u << 0,
    kLayer = 1u << 1,
    kSlot = 1u << 2,
    kPort = 1u << 3,
    kApi = 1u << 4,
    kCsv = 1u << 5,
    kJson = 1u << 6,
    kCount = 1u << 7,
    kSeconds = 1u << 8,
};

struct Command {
    const char* name;
    const char* synopsis;
    const char* summary; // a '\n' starts another line of the help
    int files;           // -1: none or one
    unsigned allowed;
    unsigned required;
    bool refusesOutputOnInput; // -o naming the input would destroy it
    int trouble;               // the exit status when stdout fails
    int (*run)(const Invocation&);
    // The kinds of output the command writes, where it tells them by the name.
    bool (*outputAccepted)(const QString& path) = nullptr;
    const char* outputKinds = nullptr;
};

const std::array<Command, 11> kCommands{{
    {"check", "IN.qob", "exit 0 if IN loads", 1, 0, 0, false, kFailed, cmdCheck},
    {"show", "IN.qob [--layer daw|midi] [--csv]",
     "the 56 elements as the editor's panel shows them;\n--csv: one row per element and layer", 1,
     kLayer | kCsv, 0, false, kFailed, cmdShow},
    {"diff", "A.qob B.qob", "what differs, one line each; exit 0 equal, 1 different,\n2 trouble", 2,
     0, 0, false, kUsage, cmdDiff},
    {"copy", "IN.qob -o OUT.qob", "load IN and save it to OUT", 1, kOut, kOut, false, kFailed,
     cmdCopy},
    {"image", "IN.qob -o OUT.bin", "the 1536-byte device image", 1, kOut, kOut, true, kFailed,
     cmdImage},
    {"syx", "IN.qob -o OUT.syx [--slot N]",
     "the 192 SysEx blocks for preset slot N (1..8, default 1)", 1, kOut | kSlot, kOut, true,
     kFailed, cmdSyx},
    {"import", "IN.syx -o OUT.qob [--slot N]",
     "the preset a dump carries (from 'syx' or a MIDI capture);\n--slot picks one of several", 1,
     kOut | kSlot, kOut, true, kFailed, cmdImport},
    {"ports", "[--api alsa|jack]", "the MIDI output ports, numbered as the editor lists them", 0,
     kApi, 0, false, kFailed, cmdPorts},
    {"send", "IN.qob --port P [--slot N] [--api alsa|jack]",
     "send the preset to slot N through port P (a number from\n'ports' or an exact port name; "
     "0 is a port of our own)",
     1, kPort | kSlot | kApi, kPort, false, kFailed, cmdSend},
    {"monitor", "[IN.qob] [--port P] [--api alsa|jack] [--json] [--count N] [--seconds S]",
     "print each MIDI message heard, and the controls of IN\nthat send it; from source P, else "
     "on a port of our own",
     -1, kPort | kApi | kJson | kCount | kSeconds, 0, false, kFailed, cmdMonitor},
    {"sheet", "IN.qob -o OUT.pdf|OUT.png|OUT.svg [--layer daw|midi] [--slot N]",
     "the preset sheet: the surface with every assignment\nwritten beside its element, one page "
     "per layer",
     1, kOut | kLayer | kSlot, kOut, true, kFailed, cmdSheet, isSheetOutput, ".pdf, .png or .svg"},
}};

constexpr int kSynopsisWidth = 38;

QString commandsHelp() {
    QString help = QStringLiteral("Commands:\n");
    for (const Command& c : kCommands) {
        QString line =
            QStringLiteral("  %1 %2").arg(QLatin1String(c.name), -6).arg(QLatin1String(c.synopsis));
        const QStringList summary = QString::fromUtf8(c.summary).split(QLatin1Char('\n'));
        const QString indent(kSynopsisWidth + 2, QLatin1Char(' '));
        help += line.size() < kSynopsisWidth + 2
                    ? line.leftJustified(kSynopsisWidth + 2) + summary.first() + '\n'
                    : line + '\n' + indent + summary.first() + '\n';
        for (qsizetype i = 1; i < summary.size(); ++i)
            help += indent + summary.at(i) + '\n';
    }
    return help;
}

const Command* findCommand(const QString& name) {
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

// "'syx', 'import' and 'send'"
QString commandsTaking(unsigned option) {
    QStringList names;
    for (const Command& c : kCommands)
        if (c.allowed & option)
            names << QStringLiteral("'%1'").arg(QLatin1String(c.name));
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

int usage(const QString& why) {
    printErr(QStringLiteral("qob: ") + why);
    printErr(QStringLiteral("Try 'qob --help'."));
    return kUsage;
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

struct ParsedOption {
    unsigned bit;
    QCommandLineOption option;
    const char* shown; // as the messages name it
};

// Parses and checks the command line; on success `call` and `command` are set.
int parse(QCommandLineParser& parser, const Command*& command, Invocation& call) {
    parser.setApplicationDescription(
        QStringLiteral(
            "Checks, shows, compares, converts and sends QOB-TANDRIX preset files.\n\n") +
        commandsHelp());
    const QCommandLineOption helpOpt = parser.addHelpOption();
    const QCommandLineOption versionOpt = parser.addVersionOption();
    const std::array<ParsedOption, 9> options{{
        {kOut, {{"o", "output"}, "Output file.", "OUT"}, "-o"},
        {kLayer, {"layer", "Layer to show or draw: daw or midi.", "daw|midi"}, "--layer"},
        {kSlot, {"slot", "Preset slot of the surface, 1..8.", "N"}, "--slot"},
        {kPort,
         {"port", "MIDI port: for send a number or exact name, for monitor a source's name.", "P"},
         "--port"},
        {kApi, {"api", "MIDI service: alsa or jack.", "alsa|jack"}, "--api"},
        {kCsv, {"csv", "show: comma-separated values (UTF-8, RFC 4180)."}, "--csv"},
        {kJson, {"json", "monitor: one JSON object per line."}, "--json"},
        {kCount, {"count", "monitor: end after N messages.", "N"}, "--count"},
        {kSeconds, {"seconds", "monitor: end after S seconds.", "S"}, "--seconds"},
    }};
    for (const ParsedOption& o : options)
        parser.addOption(o.option);
    QStringList names;
    for (const Command& c : kCommands)
        names << QLatin1String(c.name);
    parser.addPositionalArgument("command", names.join(QStringLiteral(", ")) + '.');
    parser.addPositionalArgument("FILE", "The command's input file(s).");

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(helpOpt)) {
        std::fputs(parser.helpText().toUtf8().constData(), stdout);
        return kOk;
    }
    if (parser.isSet(versionOpt)) {
        std::printf("qob %s\n", QOB_VERSION);
        return kOk;
    }

    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    command = findCommand(args.at(0));
    if (!command)
        return usage(QStringLiteral("unknown command '%1'").arg(args.at(0)));
    const QString name = QLatin1String(command->name);
    args.removeFirst();
    if (command->files < 0 ? args.size() > 1 : args.size() != command->files) {
        if (command->files < 0)
            return usage(QStringLiteral("'%1' takes at most one input file").arg(name));
        if (command->files == 0)
            return usage(QStringLiteral("'%1' takes no file").arg(name));
        return usage(command->files == 1
                         ? QStringLiteral("'%1' takes exactly one input file").arg(name)
                         : QStringLiteral("'%1' takes exactly two input files").arg(name));
    }
    call.files = args;

    for (const ParsedOption& o : options) {
        const QString shown = QLatin1String(o.shown);
        const bool set = parser.isSet(o.option);
        // Taking the last of two values would hide a typo in a script.
        qsizetype given = 0;
        for (const QString& n : o.option.names())
            given += parser.optionNames().count(n);
        if (given > 1)
            return usage(QStringLiteral("%1 is given more than once").arg(shown));
        if (set && !(command->allowed & o.bit))
            return usage(QStringLiteral("%1 is only for %2").arg(shown, commandsTaking(o.bit)));
        if (!set && (command->required & o.bit))
            return usage(QStringLiteral("'%1' needs %2 %3")
                             .arg(name, shown, o.option.valueName())
                             .trimmed());
    }

    call.out = parser.value(options[0].option);
    if (command->outputAccepted && !command->outputAccepted(call.out))
        return usage(QStringLiteral("'%1' writes a %2 file, not '%3'")
                         .arg(name, QLatin1String(command->outputKinds), call.out));
    call.port = parser.value(options[3].option);
    call.csv = parser.isSet(options[5].option);
    call.json = parser.isSet(options[6].option);
    if (parser.isSet(options[7].option)) {
        bool ok = false;
        const long long count = parser.value(options[7].option).toLongLong(&ok);
        if (!ok || count < 1)
            return usage(QStringLiteral("--count must be a whole number from 1, not '%1'")
                             .arg(parser.value(options[7].option)));
        call.count = count;
    }
    if (parser.isSet(options[8].option)) {
        bool ok = false;
        const double seconds = parser.value(options[8].option).toDouble(&ok);
        if (!ok || !(seconds > 0) || seconds > 1e9)
            return usage(QStringLiteral("--seconds must be a number of seconds above 0, not '%1'")
                             .arg(parser.value(options[8].option)));
        call.seconds = seconds;
    }
    if (parser.isSet(options[1].option)) {
        const QString layer = parser.value(options[1].option);
        if (layer != QLatin1String("daw") && layer != QLatin1String("midi"))
            return usage(QStringLiteral("--layer must be daw or midi, not '%1'").arg(layer));
        call.layer = layer == QLatin1String("midi") ? Layer::Midi : Layer::Daw;
    }
    if (parser.isSet(options[2].option)) {
        bool ok = false;
        const int slot = parser.value(options[2].option).toInt(&ok);
        if (!ok || slot < kFirstPresetSlot || slot > kLastPresetSlot)
            return usage(QStringLiteral("--slot must be 1..8, not '%1'")
                             .arg(parser.value(options[2].option)));
        call.slot = slot;
    }
    if (parser.isSet(options[4].option)) {
        const QString api = parser.value(options[4].option);
        const std::optional<MidiApiChoice> chosen = midiApiFromName(api.toStdString());
        if (!chosen)
            return usage(QStringLiteral("--api must be alsa or jack, not '%1'").arg(api));
        call.api = *chosen;
    }
    return kOk;
}

} // namespace

int main(int argc, char* argv[]) {
    // Past a file size limit a write should fail and be reported, not kill us halfway through.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qob"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QOB_VERSION));
    if (const std::optional<int> bad = nonUtf8Argument(argc, argv))
        return usage(
            QStringLiteral("argument %1 is not valid UTF-8; file names must be UTF-8").arg(*bad));

    QCommandLineParser parser;
    const Command* command = nullptr;
    Invocation call;
    int status = parse(parser, command, call);
    if (status == kOk && command) {
        if (command->refusesOutputOnInput && refuseSameFile(call.files.at(0), call.out))
            status = kFailed;
        else
            status = command->run(call);
    }
    if (!finishStdout())
        return command ? command->trouble : kFailed;
    return status;
}
