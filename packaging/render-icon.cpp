// SPDX-License-Identifier: GPL-3.0-or-later
// render-icon IN.svg SIZE OUT.png: the application icon as a SIZE x SIZE PNG, for the hicolor
// theme. Runs at build time, so no picture of the icon is kept beside its vector source.
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMaxSide = 1024;

int usage() {
    std::fputs("usage: render-icon IN.svg SIZE OUT.png\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return usage();
    bool ok = false;
    const int side = QString::fromLocal8Bit(argv[2]).toInt(&ok);
    if (!ok || side < 1 || side > kMaxSide)
        return usage();

    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, side, side));
    }
    // Written whole or not at all, so a failed build never leaves a broken icon behind.
    QSaveFile file(QString::fromLocal8Bit(argv[3]));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "render-icon: cannot write %s: %s\n", argv[3],
                     qPrintable(file.errorString()));
        return 1;
    }
    return EXIT_SUCCESS;
}
