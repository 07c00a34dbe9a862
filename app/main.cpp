// SPDX-License-Identifier: GPL-3.0-or-later
// qob-editor [FILE.qob] | qob-editor --screenshot FILE.png
#include "model/Preset.h"
#include "ui/main/PresetDocument.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qob-editor"));
    QApplication::setApplicationVersion(QStringLiteral(QOB_VERSION));
    // Lets desktops match the window with its menu entry and icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.qobtandrix.Editor"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("QOB-TANDRIX preset editor"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Start as usual, write the window as it looks to FILE (PNG) and exit."),
        QStringLiteral("FILE"));
    parser.addOption(screenshotOption);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A preset to open after the default one."),
                                 QStringLiteral("[FILE.qob]"));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fputs("qob-editor: at most one preset file\n", stderr);
        return 2;
    }
    const bool screenshot = parser.isSet(screenshotOption);

    qob::Preset preset;
    qob::EditorState state;
    qob::PresetDocument document(preset);
    qob::frmMain window(document, state);
    if (screenshot) {
        // Nobody is there to press OK.
        window.seams().showMessage = [](const QString& text, const QString& informative) {
            std::fprintf(stderr, "%s\n%s\n", qPrintable(text), qPrintable(informative));
        };
    }
    window.startUp(QCoreApplication::applicationDirPath());
    if (!files.isEmpty())
        window.openPresetPath(files.first());
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
