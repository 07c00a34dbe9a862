// SPDX-License-Identifier: GPL-3.0-or-later
// qob-editor [FILE.qob] | qob-editor --screenshot FILE.png | qob-editor --help | --version
#include "model/Preset.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

namespace {

// Qt's own options, which QApplication takes off the command line itself (-platform offscreen,
// -style=fusion, also with two dashes).
const QStringList kQtValueOptions =
    QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry geometry "
                   "qwindowicon icon qwindowtitle title session display name style stylesheet")
        .split(QLatin1Char(' '));
const QStringList kQtFlagOptions =
    QStringLiteral("reverse widgetcount nograb dograb sync").split(QLatin1Char(' '));

QStringList withoutQtOptions(const QStringList& args) {
    QStringList kept = args.mid(0, 1);
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--")) {
            kept += args.mid(i);
            break;
        }
        const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool takesValue = kQtValueOptions.contains(equals < 0 ? name : name.left(equals));
        if (!arg.startsWith(QLatin1Char('-')) || (!takesValue && !kQtFlagOptions.contains(name)))
            kept += arg;
        else if (takesValue && equals < 0)
            ++i; // its value
    }
    return kept;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("qob-editor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QOB_VERSION));

    // Read before the QApplication exists: that needs a display, and --help, --version and a
    // mistyped option must be answered without one.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("QOB-TANDRIX preset editor"));
    // Not addHelpOption(): its --help-all lists Qt's options, which only a QApplication knows.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays help on commandline options."));
    parser.addOption(helpOption);
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Start as usual, write the window as it looks to FILE (PNG) and exit."),
        QStringLiteral("FILE"));
    parser.addOption(screenshotOption);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A preset to open after the default one."),
                                 QStringLiteral("[FILE.qob]"));
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args += QString::fromLocal8Bit(argv[i]); // as QCoreApplication::arguments() decodes them
    if (!parser.parse(withoutQtOptions(args))) {
        std::fprintf(stderr, "qob-editor: %s\nTry 'qob-editor --help'.\n",
                     qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        const QCoreApplication core(argc, argv); // names the program in the usage line
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("qob-editor %s\n", QOB_VERSION);
        return 0;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fputs("qob-editor: at most one preset file\nTry 'qob-editor --help'.\n", stderr);
        return 2;
    }

    QApplication app(argc, argv);
    // Lets desktops match the window with its menu entry and icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.qobtandrix.Editor"));
    const bool screenshot = parser.isSet(screenshotOption);

    qob::Preset preset;
    qob::EditorState state;
    qob::frmMain window(preset, state);
    if (screenshot) {
        // Nobody is there to press OK.
        window.seams().showMessage = [](const QString& text, const QString& informative) {
            std::fprintf(stderr, "%s\n%s\n", qPrintable(text), qPrintable(informative));
        };
    }
    window.startUp(QCoreApplication::applicationDirPath());
    if (!files.isEmpty())
        window.files().openPresetPath(files.first());
    window.show();
    if (!screenshot)
        return QApplication::exec();

    const QString path = parser.value(screenshotOption);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !window.screenshot().save(&file, "PNG") ||
        !file.commit()) {
        std::fprintf(stderr, "qob-editor: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
