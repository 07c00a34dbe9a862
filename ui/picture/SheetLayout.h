// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

class QPaintDevice;

// The preset sheet: the surface picture with every element's assignment written on a card
// beside the element, laid out once in page points (1/72 inch) and painted on any device.
namespace qob {

// A4 landscape.
inline constexpr QSizeF kSheetPageSize{841.89, 595.28};
inline constexpr qreal kSheetMargin = 22.68; // 8 mm, inside what printers can reach
// Nothing on the page is smaller than this.
inline constexpr qreal kSheetMinimumPoints = 7.0;

enum class SheetStyle {
    Title,    // the preset name over the page
    Subtitle, // layer, slot and limits under it
    Note,     // the heading's right side and the footer
    Display,  // the preset name on the picture's display field
    Print,    // the key names printed on the surface
    Tag,      // an element's number or name on its card
    Label,    // the element's label
    Event,    // what it sends
    Mode,     // Push or Drawbar
};

struct SheetText {
    QRectF rect; // exactly the text's advance by its font's height, in page points
    QString text;
    SheetStyle style;
    qreal points; // the style's size, or less on a card whose texts are long
};

struct SheetPage {
    QRectF skinTarget; // where the 986 x 565 skin picture lies on the page
    // Filled with the surface's face colour behind a row of cards, so that the printing they
    // cover does not show in slivers between them.
    std::vector<QRectF> bands;
    std::vector<QRectF> cards;
    std::vector<QLineF> rules; // between the two banks on a card
    std::vector<SheetText> texts;
};

// The font of a text, sized so that under a painter scaled to page points it is the text's size
// in points on `device`, whatever the device's resolution.
QFont sheetFont(const SheetText& text, const QPaintDevice* device);

// `source` names the preset file in the heading; it may be empty. Needs a QGuiApplication for
// the fonts.
SheetPage layoutSheetPage(const Preset& preset, Layer layer, const QString& source);

} // namespace qob
