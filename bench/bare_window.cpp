// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for the editor's start-up: a plain window of the same size, shown and written
// to a PNG the same way `qob-editor --screenshot` does.
#include <QApplication>
#include <QImage>
#include <QSaveFile>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QWidget window;
    window.setFixedSize(978, 560);
    window.show();
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    const QImage image = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        return 1;
    return 0;
}
