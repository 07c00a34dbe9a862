// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/picture/PresetSheet.h"

#include "model/CarefulSave.h"
#include "model/Cp1252.h"
#include "ui/main/ElementMap.h"
#include "ui/main/Skin.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QSvgRenderer>

#include <algorithm>

namespace qob {
namespace {

constexpr QColor kPaper{255, 255, 255};
constexpr QColor kCardFill{255, 255, 255};
constexpr QColor kFace{43, 46, 52};
constexpr QColor kCardEdge{110, 114, 120};
constexpr QColor kRule{190, 193, 198};
constexpr qreal kCardEdgeWidth = 0.6;
constexpr qreal kRuleWidth = 0.4;
constexpr qreal kCardCorner = 1.5;
constexpr int kSvgDpi = 96;
// Qt's PNG writer takes the lowest quality for the strongest compression (it stays lossless).
constexpr int kPngSmallest = 0;

QColor styleColour(SheetStyle style) {
    switch (style) {
    case SheetStyle::Title:
    case SheetStyle::Label:
        return {17, 17, 17};
    case SheetStyle::Subtitle:
        return {68, 68, 68};
    case SheetStyle::Note:
        return {96, 96, 96};
    case SheetStyle::Display:
        return {255, 255, 255};
    case SheetStyle::Print:
        return {196, 200, 207};
    case SheetStyle::Tag:
        return {181, 84, 28}; // the brand's orange, dark enough for paper
    case SheetStyle::Event:
        return {43, 43, 43};
    case SheetStyle::Mode:
        return {28, 88, 160};
    }
    return Qt::black;
}

QRectF skinRect(const SheetPage& page, qreal left, qreal top, qreal width, qreal height) {
    const qreal k = page.skinTarget.width() / kSkinWidth;
    return QRectF(page.skinTarget.left() + k * left, page.skinTarget.top() + k * top, k * width,
                  k * height);
}

// The body and every element template, vector throughout, as the editor's skin draws them.
void paintSurface(QPainter& p, const SheetPage& page) {
    QSvgRenderer renderer(skinDrawing());
    if (!renderer.isValid())
        return;
    renderer.render(&p, page.skinTarget);
    for (const Region& r : kRegions) {
        const QString id = skinTemplateId(r);
        if (renderer.elementExists(id))
            renderer.render(&p, id,
                            skinRect(page, r.left, r.top, r.right - r.left, r.bottom - r.top));
    }
}

// Fits the page into `size` (device units), centred.
void toPage(QPainter& p, QSizeF size) {
    const qreal scale =
        std::min(size.width() / kSheetPageSize.width(), size.height() / kSheetPageSize.height());
    p.translate((size.width() - scale * kSheetPageSize.width()) / 2,
                (size.height() - scale * kSheetPageSize.height()) / 2);
    p.scale(scale, scale);
}

std::vector<SheetPage> layoutPages(const Preset& preset, const std::vector<Layer>& layers,
                                   const QString& source) {
    std::vector<SheetPage> pages;
    for (const Layer layer : layers)
        pages.push_back(layoutSheetPage(preset, layer, source));
    return pages;
}

// Image pages stacked downwards, in the device's logical units.
void paintStacked(QPainter& p, const std::vector<SheetPage>& pages) {
    for (std::size_t i = 0; i < pages.size(); ++i) {
        p.save();
        p.translate(0, static_cast<qreal>(i) * kSheetImagePageSize.height());
        toPage(p, QSizeF(kSheetImagePageSize));
        paintSheetPage(p, pages[i]);
        p.restore();
    }
}

QSize stackedSize(std::size_t pages) {
    return {kSheetImagePageSize.width(),
            kSheetImagePageSize.height() * static_cast<int>(std::max<std::size_t>(pages, 1))};
}

// Control bytes as the sheet shows them everywhere: no file format may carry them raw.
QString sheetTitle(const Preset& preset) {
    return QStringLiteral("Preset sheet: ") + shownText(preset.Name);
}

} // namespace

std::optional<SheetFormat> sheetFormatFor(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return SheetFormat::Pdf;
    if (suffix == QLatin1String("png"))
        return SheetFormat::Png;
    if (suffix == QLatin1String("svg"))
        return SheetFormat::Svg;
    return std::nullopt;
}

void paintSheetPage(QPainter& p, const SheetPage& page) {
    p.save();
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                     QPainter::SmoothPixmapTransform);
    p.fillRect(QRectF(QPointF(0, 0), kSheetPageSize), kPaper);
    paintSurface(p, page);

    for (const QRectF& band : page.bands)
        p.fillRect(band, kFace);
    p.setPen(QPen(kCardEdge, kCardEdgeWidth));
    p.setBrush(kCardFill);
    for (const QRectF& card : page.cards)
        p.drawRoundedRect(card, kCardCorner, kCardCorner);
    p.setPen(QPen(kRule, kRuleWidth));
    for (const QLineF& rule : page.rules)
        p.drawLine(rule);

    for (const SheetText& t : page.texts) {
        p.setFont(sheetFont(t, p.device()));
        p.setPen(styleColour(t.style));
        p.drawText(t.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                   t.text);
    }
    p.restore();
}

bool paintSheetPages(QPagedPaintDevice& device, const Preset& preset,
                     const std::vector<Layer>& layers, const QString& source) {
    const std::vector<SheetPage> pages = layoutPages(preset, layers, source);
    QPainter p(&device);
    if (!p.isActive())
        return false;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device.newPage())
            return false;
        p.save();
        toPage(p, QSizeF(device.width(), device.height()));
        paintSheetPage(p, pages[i]);
        p.restore();
    }
    return p.end();
}

QImage renderSheetImage(const Preset& preset, const std::vector<Layer>& layers,
                        const QString& source, qreal devicePixelRatio) {
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : kSheetImageRatio;
    const QSize logical = stackedSize(layers.size());
    QImage image(qRound(logical.width() * dpr), qRound(logical.height() * dpr),
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(kPaper);
    QPainter p(&image);
    paintStacked(p, layoutPages(preset, layers, source));
    return image;
}

QPageLayout sheetPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0));
}

namespace {

// The whole sheet as the bytes of a file in `format`; nullopt when it could not be drawn.
std::optional<QByteArray> renderSheetFile(SheetFormat format, const Preset& preset,
                                          const std::vector<Layer>& layers, const QString& source,
                                          const QPageLayout& pdfLayout) {
    // Drawn into memory first: the file is written in one careful step once all of it exists.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool painted = false;
    switch (format) {
    case SheetFormat::Pdf: {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(pdfLayout);
        writer.setTitle(sheetTitle(preset));
        writer.setCreator(QStringLiteral("qob"));
        painted = paintSheetPages(writer, preset, layers, source);
        break;
    }
    case SheetFormat::Png: {
        QImageWriter writer(&buffer, "PNG");
        writer.setQuality(kPngSmallest);
        painted = writer.write(renderSheetImage(preset, layers, source));
        break;
    }
    case SheetFormat::Svg: {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        const QSize size = stackedSize(layers.size());
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setResolution(kSvgDpi);
        // The generator writes the title into the XML as it is given.
        generator.setTitle(sheetTitle(preset).toHtmlEscaped());
        QPainter p;
        painted = p.begin(&generator);
        if (painted) {
            paintStacked(p, layoutPages(preset, layers, source));
            painted = p.end();
        }
        break;
    }
    }
    if (!painted)
        return std::nullopt;
    return bytes;
}

} // namespace

SheetWriteResult writeSheetFile(const QString& path, SheetFormat format, const Preset& preset,
                                const std::vector<Layer>& layers, const QString& source,
                                const QPageLayout& pdfLayout) {
    const std::optional<QByteArray> bytes =
        renderSheetFile(format, preset, layers, source, pdfLayout);
    if (!bytes)
        return {false, path + QStringLiteral(": the sheet could not be drawn")};
    const FileResult saved = saveFileAtomically(
        path, std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())));
    if (!saved.ok)
        return {false, QString::fromStdString(saved.detail)};
    return {true, {}};
}

} // namespace qob
