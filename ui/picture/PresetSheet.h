// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"
#include "ui/picture/SheetLayout.h"

#include <QByteArray>
#include <QImage>
#include <QPageLayout>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

// Painting and writing the preset sheet: one page per layer, as PDF, PNG or SVG, or onto a
// printer. Needs a QGuiApplication (fonts), never a display.
namespace qob {

enum class SheetFormat { Pdf, Png, Svg };

// By the file name's extension, in any case; nullopt for any other.
std::optional<SheetFormat> sheetFormatFor(const QString& path);

// One page in PNG and SVG: A4 at 96 dots per inch. PNG pixels are twice that, for screens
// that show two pixels a point; pages of several layers stand one below the other.
inline constexpr QSize kSheetImagePageSize{1123, 794};
inline constexpr qreal kSheetImageRatio = 2.0;

// Paints `page` with the painter's coordinates in page points.
void paintSheetPage(QPainter& painter, const SheetPage& page);

// Paints one page per layer onto a PDF writer or a printer, in the page layout the device
// already has (scaled to fit, centred). False when the device cannot be painted on.
bool paintSheetPages(QPagedPaintDevice& device, const Preset& preset,
                     const std::vector<Layer>& layers, const QString& source);

QImage renderSheetImage(const Preset& preset, const std::vector<Layer>& layers,
                        const QString& source, qreal devicePixelRatio = kSheetImageRatio);

// A4 landscape without margins: the sheet's own page, and the PDF file's.
QPageLayout sheetPageLayout();

// Writes the sheet to `path` through the same careful save as presets: whole or not at all, and
// an existing file keeps its permissions, owner and other names, or is refused where a preset
// would be (read-only, a FIFO, a device). The error names the file and the reason.
struct SheetWriteResult {
    bool ok = false;
    QString error;
};
// A PDF takes `pdfLayout`.
SheetWriteResult writeSheetFile(const QString& path, SheetFormat format, const Preset& preset,
                                const std::vector<Layer>& layers, const QString& source,
                                const QPageLayout& pdfLayout = sheetPageLayout());

} // namespace qob
