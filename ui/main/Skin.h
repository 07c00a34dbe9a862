// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRect>
#include <QString>

// The artwork of the main window: the skin picture of the surface, the lit-button picture and
// the window icon. Coordinates are pixels of the 986 x 565 skin; a device pixel ratio only
// adds detail, the logical size stays the same.
namespace qob {

struct Region;

// Pixels of exactly this colour are cut out of the window and let the pointer through.
inline constexpr QColor kKeyColour{255, 0, 0};
inline constexpr QColor kDisplayFieldColour{128, 128, 255};
// Inclusive pixel bounds 643..912 x 88..150; the panel labels lie on it.
inline constexpr QRect kDisplayField{643, 88, 912 - 643 + 1, 150 - 88 + 1};
// The surface lies inside this box (inclusive 21..967 x 25..537); all around it is key colour.
inline constexpr QRect kSurfaceBox{21, 25, 967 - 21 + 1, 537 - 25 + 1};

inline constexpr int kLitButtonWidth = 41;
inline constexpr int kLitButtonHeight = 24;

inline constexpr char kSkinResource[] = ":/skin.svg";
inline constexpr char kLitButtonResource[] = ":/litbutton.svg";
inline constexpr char kIconResource[] = ":/icon.svg";

// The built-in skin's SVG text; empty when the resource cannot be read.
QByteArray skinDrawing();

// The 986 x 565 skin (logical size), opaque, with the key colour outside the outline.
QImage renderSkin(qreal devicePixelRatio = 1.0);

// The same from any SVG text with the skin's layout. Artwork that does not parse still gives a
// plain body, so the window never turns wholly transparent.
QImage renderSkinFrom(const QByteArray& svg, qreal devicePixelRatio = 1.0);

// The 41 x 24 picture of a lit window button (SHIFT while bank 2 is on, MIDI while the MIDI
// layer is shown), opaque.
QImage renderLitButton(qreal devicePixelRatio = 1.0);

// The id of the artwork template drawn over a region of the element table; the template is
// drawn at the region's size, so its box must match.
QString skinTemplateId(const Region& region);

// The window icon, rendered from the vector file at the usual sizes (needs a QGuiApplication).
QIcon appIcon();

} // namespace qob
