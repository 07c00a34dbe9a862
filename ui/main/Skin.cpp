// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/Skin.h"

#include "ui/main/ElementMap.h"

#include <QFile>
#include <QFont>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QtGlobal>

#include <future>
#include <utility>

namespace qob {

namespace {

// Pixels the antialiased outline leaves half-covered are laid over this dark edge colour, never
// over the key, so no reddish fringe survives around the cut-out.
constexpr QColor kEdgeColour{20, 22, 25};
constexpr int kOpaqueFrom = 128;

constexpr QColor kPrintLight{196, 200, 207};
constexpr QColor kPrintDim{142, 148, 157};
constexpr char kPrintFamily[] = "Liberation Sans";

// Fallback body for artwork that cannot be read.
constexpr QColor kPlainBody{43, 46, 52};
constexpr qreal kBodyCornerRadius = 24.0;

enum class LabelPlace { Above, Below, On };

struct LabelStyle {
    LabelPlace place;
    int pixelSize;
    QColor colour;
    int gap; // between the element's edge and the text box
};

LabelStyle labelStyle(RegionKind kind) {
    switch (kind) {
    case RegionKind::VPot:
        return {LabelPlace::Below, 9, kPrintDim, 3};
    case RegionKind::Fader:
        return {LabelPlace::Below, 9, kPrintDim, 5};
    case RegionKind::FaderMaster:
        return {LabelPlace::Below, 8, kPrintLight, 5};
    case RegionKind::Button:
        return {LabelPlace::On, 10, kPrintDim, 0};
    case RegionKind::BreathControl:
        return {LabelPlace::Below, 8, kPrintLight, 6};
    case RegionKind::TransportKey:
        return {LabelPlace::Below, 8, kPrintLight, 5};
    case RegionKind::Wheel:
        return {LabelPlace::Below, 8, kPrintLight, 6};
    case RegionKind::AreaButton:
        return {LabelPlace::Above, 8, kPrintLight, 3};
    }
    return {LabelPlace::Below, 8, kPrintLight, 4};
}

} // namespace

QString skinTemplateId(const Region& r) {
    switch (r.kind) {
    case RegionKind::VPot:
        return QStringLiteral("vpot");
    case RegionKind::Fader:
        return QStringLiteral("fader");
    case RegionKind::FaderMaster:
        return QStringLiteral("fader-master");
    case RegionKind::Button:
        return QStringLiteral("button");
    case RegionKind::BreathControl:
        return QStringLiteral("breath");
    case RegionKind::TransportKey:
        return QStringLiteral("transport-") +
               QString::fromLatin1(r.label.data(), static_cast<qsizetype>(r.label.size()));
    case RegionKind::Wheel:
        return QStringLiteral("wheel");
    case RegionKind::AreaButton:
        // The window buttons come in three sizes; each has its own template so that the
        // rounded corners are not stretched.
        return QStringLiteral("area-%1x%2").arg(r.right - r.left).arg(r.bottom - r.top);
    }
    return {};
}

namespace {

QRectF regionRect(const Region& r) {
    return QRectF(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void printLabel(QPainter& p, const Region& r) {
    if (r.label.empty())
        return;
    const LabelStyle style = labelStyle(r.kind);
    QFont font(QString::fromLatin1(kPrintFamily));
    font.setBold(true);
    font.setPixelSize(style.pixelSize);
    p.setFont(font);
    p.setPen(style.colour);

    QRectF box = regionRect(r);
    if (r.kind == RegionKind::AreaButton)
        box.setWidth(qMin<qreal>(box.width(), kLitButtonWidth + 1)); // centred on the key cap
    constexpr qreal kSpread = 40.0; // labels may be wider than small keys
    const qreal lineHeight = style.pixelSize + 4;
    QRectF textBox;
    int align = Qt::AlignHCenter;
    switch (style.place) {
    case LabelPlace::Above:
        textBox = QRectF(box.left() - kSpread, box.top() - style.gap - lineHeight,
                         box.width() + 2 * kSpread, lineHeight);
        align |= Qt::AlignBottom;
        break;
    case LabelPlace::Below:
        textBox = QRectF(box.left() - kSpread, box.bottom() + style.gap, box.width() + 2 * kSpread,
                         lineHeight);
        align |= Qt::AlignTop;
        break;
    case LabelPlace::On:
        // The key face ends 2 pixels above the region's bottom (its shadow is below).
        textBox = box.adjusted(0, 0, 0, -2);
        align |= Qt::AlignVCenter;
        break;
    }
    p.drawText(textBox, align,
               QString::fromLatin1(r.label.data(), static_cast<qsizetype>(r.label.size())));
}

QImage transparentCanvas(QSize logical, qreal dpr) {
    QImage image(qRound(logical.width() * dpr), qRound(logical.height() * dpr),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

// Turns the antialiased drawing into an opaque picture: mostly transparent pixels become the
// key, the others are laid over the dark edge colour. Pixels outside `inside` (physical) are
// key whatever was drawn there.
QImage flatten(QImage image, const QRect& inside) {
    const QRgb key = kKeyColour.rgb();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const bool rowInside = y >= inside.top() && y <= inside.bottom();
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = line[x];
            const int a = qAlpha(px);
            if (!rowInside || x < inside.left() || x > inside.right() || a < kOpaqueFrom) {
                line[x] = key;
                continue;
            }
            const int rest = 255 - a;
            line[x] = qRgb(qRed(px) + (kEdgeColour.red() * rest + 127) / 255,
                           qGreen(px) + (kEdgeColour.green() * rest + 127) / 255,
                           qBlue(px) + (kEdgeColour.blue() * rest + 127) / 255);
        }
    }
    const qreal dpr = image.devicePixelRatio();
    QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    opaque.setDevicePixelRatio(dpr);
    return opaque;
}

QImage renderTemplate(QSvgRenderer& renderer, const QString& id, QSizeF size, qreal dpr) {
    QImage image = transparentCanvas(size.toSize(), dpr);
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&p, id, QRectF(QPointF(0, 0), size));
    return image;
}

void drawElements(QImage& layer, QSvgRenderer& renderer, qreal dpr) {
    QPainter p(&layer);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                     QPainter::SmoothPixmapTransform);
    // Eight of each row share a template: rasterise it once and copy it. Copies need a
    // whole-pixel position to come out identical to a direct rendering.
    QHash<QString, QImage> rendered;
    for (const Region& r : kRegions) {
        const QString id = skinTemplateId(r);
        if (renderer.isValid() && renderer.elementExists(id)) {
            const QRectF box = regionRect(r);
            const QPointF at = box.topLeft() * dpr;
            if (at != at.toPoint()) {
                renderer.render(&p, id, box);
            } else {
                auto it = rendered.find(id);
                if (it == rendered.end())
                    it = rendered.insert(id, renderTemplate(renderer, id, box.size(), dpr));
                p.drawImage(box.topLeft(), *it);
            }
        }
        printLabel(p, r);
    }
}

QRect physical(const QRect& logical, qreal dpr) {
    const int left = qRound(logical.left() * dpr);
    const int top = qRound(logical.top() * dpr);
    const int right = qRound((logical.right() + 1) * dpr) - 1;
    const int bottom = qRound((logical.bottom() + 1) * dpr) - 1;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

QImage renderSkinFrom(const QByteArray& svg, qreal devicePixelRatio) {
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QSize size(kSkinWidth, kSkinHeight);
    // The elements and their printing go on a layer of their own on a second thread while this
    // one draws the body: the skin is most of the editor's start-up. Each thread has its own
    // renderer, as one renderer is not meant to be shared between threads.
    std::future<QImage> elements = std::async(std::launch::async, [&svg, size, dpr] {
        QImage layer = transparentCanvas(size, dpr);
        QSvgRenderer renderer(svg);
        drawElements(layer, renderer, dpr);
        return layer;
    });

    QImage canvas = transparentCanvas(size, dpr);
    {
        QSvgRenderer renderer(svg);
        QPainter p(&canvas);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
        if (renderer.isValid()) {
            renderer.render(&p, QRectF(QPointF(0, 0), size));
        } else {
            qWarning("Skin artwork could not be read; drawing a plain surface");
            p.setPen(Qt::NoPen);
            p.setBrush(kPlainBody);
            p.drawRoundedRect(QRectF(kSurfaceBox), kBodyCornerRadius, kBodyCornerRadius);
        }
        p.drawImage(QPointF(0, 0), elements.get());
    }
    QImage skin = flatten(std::move(canvas), physical(kSurfaceBox, dpr));
    {
        // Painted last and without antialiasing: the panel labels rely on this exact colour.
        QPainter p(&skin);
        p.fillRect(kDisplayField, kDisplayFieldColour);
    }
    return skin;
}

QByteArray skinDrawing() {
    QFile file(QString::fromLatin1(kSkinResource));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage renderSkin(qreal devicePixelRatio) {
    return renderSkinFrom(skinDrawing(), devicePixelRatio);
}

QImage renderLitButton(qreal devicePixelRatio) {
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QSize size(kLitButtonWidth, kLitButtonHeight);
    QImage canvas = transparentCanvas(size, dpr);
    QSvgRenderer renderer(QString::fromLatin1(kLitButtonResource));
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        if (renderer.isValid())
            renderer.render(&p, QRectF(QPointF(0, 0), size));
        else
            p.fillRect(QRectF(QPointF(0, 0), size), QColor(255, 190, 69));
    }
    // Every pixel is inside, so nothing becomes key; thin alpha is laid over the edge colour.
    QImage lit(canvas.size(), QImage::Format_RGB32);
    lit.setDevicePixelRatio(dpr);
    lit.fill(kEdgeColour);
    {
        QPainter p(&lit);
        p.drawImage(QPointF(0, 0), canvas);
    }
    return lit;
}

namespace {

// Renders the vector icon at whatever size is asked, when it is asked: a window that no one
// asks for its icon (Wayland, offscreen) never rasterises it.
class SvgIconEngine : public QIconEngine {
public:
    QIconEngine* clone() const override { return new SvgIconEngine; }
    QString key() const override { return QStringLiteral("qob-svg"); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        QSvgRenderer renderer(QString::fromLatin1(kIconResource));
        if (!renderer.isValid())
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        renderer.render(painter, QRectF(rect));
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            paint(&p, QRect(QPoint(0, 0), size), mode, state);
        }
        return QPixmap::fromImage(std::move(image));
    }

    // Window managers pick 16..64.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
    }
};

} // namespace

QIcon appIcon() {
    return QIcon(new SvgIconEngine);
}

} // namespace qob
