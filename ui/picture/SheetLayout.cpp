// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/picture/SheetLayout.h"

#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "model/NumberText.h"
#include "ui/main/ElementMap.h"
#include "ui/main/Skin.h"
#include "vocab/ShortText.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>

#include <algorithm>
#include <limits>

namespace qob {
namespace {

constexpr char kPageFamily[] = "Liberation Sans";
// Eight strips of 60 skin pixels leave about 48 pt a card: a narrow face keeps the usual
// "CC 10 ch 16" on one line at a readable size.
constexpr char kCardFamily[] = "Liberation Sans Narrow";

constexpr qreal kCardPadding = 2.0;
constexpr qreal kCardGap = 6.0;     // between a card and the one above or below it
constexpr qreal kCardSideGap = 1.0; // between neighbours in a row, whose strips are close
constexpr qreal kBankGap = 4.0;     // between the two banks on a card, the rule in the middle
constexpr qreal kTagGap = 2.5;      // between a hanging tag and its lines
constexpr qreal kHeadingGap = 8.0;
// Lines a text takes at its style's size before it is set smaller, then at the floor. An event
// takes as many as it needs there; a label as many as the longest the device keeps needs, eight
// control bytes shown escaped, and only a longer one from a hand-edited file is cut.
constexpr int kLabelLines = 2;
constexpr int kLabelLinesAtFloor = 3;
constexpr int kEventLines = 3; // ten SysEx bytes
constexpr int kAsManyAsNeeded = std::numeric_limits<int>::max();
constexpr qreal kShrinkStep = 0.25;
constexpr std::uint8_t kSoftHyphen = 0xAD; // Windows-1252 and Unicode alike
constexpr qsizetype kEscapeLength = 4;     // "\x1B"
// Blank rows of the surface picture in skin pixels, where the cards go.
constexpr int kCardWidth = 57;      // of a 60-pixel strip
constexpr int kUnderVPots = 142;    // below the knobs, over their printed numbers
constexpr int kFaderTrackTop = 184; // the fader tracks' first tick
constexpr int kUnderButtons = 453;  // below the buttons, breath input and transport keys
constexpr int kWheelCardLeft = 852; // right of the wheel, to the body's edge
constexpr int kWheelCardRight = 958;
// The flat face inside the body's rounded rim, in skin pixels.
constexpr int kFaceLeft = 30;
constexpr int kFaceRight = 958;
constexpr int kFaceTop = 30;
constexpr int kFaceBottom = 528;
constexpr int kPrintGap = 3; // key names above their keys, as the editor prints them
constexpr int kKeyCapWidth = 42;

const QString kNotAssigned = QStringLiteral("\u2013");
const QString kSeparator = QStringLiteral("  \u00B7  ");

struct StyleDef {
    const char* family;
    qreal points;
    bool bold;
    bool italic;
};

StyleDef styleDef(SheetStyle style) {
    switch (style) {
    case SheetStyle::Title:
        return {kPageFamily, 16.0, true, false};
    case SheetStyle::Subtitle:
        return {kPageFamily, 9.0, false, false};
    case SheetStyle::Note:
        return {kPageFamily, 8.0, false, false};
    case SheetStyle::Display:
        return {kPageFamily, 9.0, true, false};
    case SheetStyle::Print:
        return {kPageFamily, 7.0, true, false};
    case SheetStyle::Tag:
    case SheetStyle::Label:
        return {kCardFamily, 7.5, true, false};
    case SheetStyle::Event:
        return {kCardFamily, 7.5, false, false};
    case SheetStyle::Mode:
        return {kCardFamily, 7.5, false, true};
    }
    return {kPageFamily, 8.0, false, false};
}

// Measured at 72 dots per inch, where a font's pixels are the page's points.
const QPaintDevice* measuringDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        constexpr int kDotsPerMeterAt72Dpi = 2835;
        image.setDotsPerMeterX(kDotsPerMeterAt72Dpi);
        image.setDotsPerMeterY(kDotsPerMeterAt72Dpi);
        return image;
    }();
    return &device;
}

QFont fontAt(SheetStyle style, qreal points, const QPaintDevice* device) {
    const StyleDef def = styleDef(style);
    QFont font(QString::fromLatin1(def.family));
    font.setBold(def.bold);
    font.setItalic(def.italic);
    // Unhinted outlines measure the same at every size, so the layout holds on every device.
    font.setHintingPreference(QFont::PreferNoHinting);
    const int dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 72;
    font.setPointSizeF(points * 72.0 / dpi);
    return font;
}

QFontMetricsF metrics(SheetStyle style, qreal points) {
    const QPaintDevice* device = measuringDevice();
    return QFontMetricsF(fontAt(style, points, device), device);
}

QFontMetricsF metrics(SheetStyle style) {
    return metrics(style, styleDef(style).points);
}

// Preset texts are Windows-1252 bytes from a file; control bytes would print as boxes or not at
// all, so they are shown escaped as the CLI shows them, a backslash doubled. A soft hyphen is no
// control byte, but text layout draws it only where it breaks a line, so it is escaped here too.
QString printable(const std::string& bytes) {
    static const QString kShownSoftHyphen =
        QStringLiteral("\\x") + QString::fromStdString(hexByte(kSoftHyphen));
    return shownText(bytes).trimmed().replace(QChar(kSoftHyphen), kShownSoftHyphen);
}

qreal lineStep(const QFontMetricsF& fm) {
    return std::max(fm.lineSpacing(), fm.height());
}

// Where a word wider than the line breaks: as late as fits, at the edge of an escaped byte
// where one fits ("Cut\xAD" and "off"), and never inside one where anything else fits.
template <typename Fits> qsizetype breakAt(const QString& word, const Fits& fits) {
    qsizetype latest = word.size() - 1;
    while (latest > 1 && !fits(word.left(latest)))
        --latest;
    const auto escapeAt = [&](qsizetype start) {
        return start >= 0 && QStringView(word).mid(start).startsWith(QLatin1String("\\x"));
    };
    const auto edge = [&](qsizetype n) { return escapeAt(n) || escapeAt(n - kEscapeLength); };
    const auto inside = [&](qsizetype n) {
        for (qsizetype back = 1; back < kEscapeLength; ++back)
            if (escapeAt(n - back))
                return true;
        return false;
    };
    for (qsizetype n = latest; n >= 1; --n)
        if (edge(n))
            return n;
    for (qsizetype n = latest; n >= 1; --n)
        if (!inside(n))
            return n;
    return latest;
}

// Greedy word wrap, the first line `firstWidth` wide and the others `width`; a word wider than
// its line is broken. Nothing is left out.
QStringList wrap(const QString& text, const QFontMetricsF& fm, qreal firstWidth, qreal width) {
    if (text.isEmpty())
        return {};
    QStringList lines;
    const auto fits = [&](const QString& s) {
        return fm.horizontalAdvance(s) <= (lines.isEmpty() ? firstWidth : width);
    };
    if (fits(text))
        return {text};
    // "ch" and "Key" stay with their number.
    QStringList words;
    for (const QString& w : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!words.isEmpty() &&
            (words.last() == QLatin1String("ch") || words.last() == QLatin1String("Key")))
            words.last() += QLatin1Char(' ') + w;
        else
            words << w;
    }
    QString current;
    for (QString word : words) {
        const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
        if (fits(candidate)) {
            current = candidate;
            continue;
        }
        if (!current.isEmpty())
            lines << current;
        while (word.size() > 1 && !fits(word)) {
            const qsizetype n = breakAt(word, fits);
            lines << word.left(n);
            word = word.mid(n);
        }
        current = word;
    }
    if (!current.isEmpty())
        lines << current;
    return lines;
}

struct Fitted {
    QStringList lines;
    qreal points;
};

// A card shows all a text carries: it is set smaller, down to the floor, until it takes no more
// than `maxLines`, and at the floor takes up to `floorLines`, the last cut only if too few.
Fitted fit(const QString& text, SheetStyle style, qreal firstWidth, qreal width, int maxLines,
           int floorLines) {
    const qreal largest = styleDef(style).points;
    for (int step = 0;; ++step) {
        const qreal points = std::max(largest - step * kShrinkStep, kSheetMinimumPoints);
        const QFontMetricsF fm = metrics(style, points);
        Fitted fitted{wrap(text, fm, firstWidth, width), points};
        if (fitted.lines.size() <= maxLines)
            return fitted;
        if (points > kSheetMinimumPoints)
            continue;
        if (fitted.lines.size() > floorLines) {
            const QString rest = fitted.lines.mid(floorLines - 1).join(QLatin1Char(' '));
            fitted.lines.resize(floorLines - 1);
            fitted.lines << fm.elidedText(rest, Qt::ElideRight,
                                          floorLines > 1 ? width : firstWidth);
        }
        return fitted;
    }
}

SheetText textAt(QPointF topLeft, const QString& text, SheetStyle style, qreal points) {
    const QFontMetricsF fm = metrics(style, points);
    return {QRectF(topLeft, QSizeF(fm.horizontalAdvance(text), fm.height())), text, style, points};
}

SheetText textAt(QPointF topLeft, const QString& text, SheetStyle style) {
    return textAt(topLeft, text, style, styleDef(style).points);
}

QString elided(const QString& text, SheetStyle style, qreal width) {
    return metrics(style).elidedText(text, Qt::ElideRight, width);
}

// Skin pixels to page points.
struct SkinMap {
    qreal scale;
    QPointF origin;
    qreal x(qreal skinX) const { return origin.x() + scale * skinX; }
    qreal y(qreal skinY) const { return origin.y() + scale * skinY; }
    qreal length(qreal pixels) const { return scale * pixels; }
};

// One element on a card: its number or name, then label, event and mode.
struct Block {
    QString tag;
    bool hangingTag; // numbers stand left of the lines, names above them
    QString label;
    QString event;
    QString mode;
};

Block blockFor(const Preset& preset, Layer layer, int element, const QString& tag, bool hanging) {
    const ElementAssignment& record = preset.Elements[element].record(layer);
    Block b{tag, hanging, {}, {}, {}};
    // A SysEx record has no label: the file keeps its bytes in the label's place.
    if (assignKind(record) != AssignKind::SysEx)
        b.label = printable(record.Explain);
    b.event = QString::fromStdString(shortEventText(record));
    b.mode = QString::fromStdString(shortModeText(record, element));
    if (b.label.isEmpty() && b.event.isEmpty())
        b.event = kNotAssigned;
    return b;
}

// A card laid out at the origin; placed later.
struct Card {
    qreal width = 0;
    qreal height = 0;
    std::vector<SheetText> texts;
    std::vector<QLineF> rules;
};

Card layoutCard(const std::vector<Block>& blocks, qreal width) {
    Card card;
    card.width = width;
    const qreal inner = width - 2 * kCardPadding;
    const QFontMetricsF tagFm = metrics(SheetStyle::Tag);
    // Room for two digits, so that both banks' lines start at the same place.
    const qreal indent = tagFm.horizontalAdvance(QStringLiteral("16")) + kTagGap;
    qreal y = kCardPadding;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Block& b = blocks[i];
        if (i > 0) {
            card.rules.emplace_back(kCardPadding, y + kBankGap / 2, width - kCardPadding,
                                    y + kBankGap / 2);
            y += kBankGap;
        }
        // A number stands left of the label; the event and mode lines below take the whole
        // width, which keeps the usual "CC 10 ch 16" on one line.
        qreal labelX = kCardPadding;
        if (b.hangingTag) {
            card.texts.push_back(textAt({kCardPadding, y}, b.tag, SheetStyle::Tag));
            labelX += indent;
        }
        const struct {
            QString text;
            SheetStyle style;
            int maxLines;
            int floorLines;
        } rows[] = {
            {b.hangingTag ? QString() : b.tag, SheetStyle::Tag, 1, kAsManyAsNeeded},
            {b.label, SheetStyle::Label, kLabelLines, kLabelLinesAtFloor},
            {b.event, SheetStyle::Event, kEventLines, kAsManyAsNeeded},
            {b.mode, SheetStyle::Mode, 1, kAsManyAsNeeded},
        };
        bool besideTag = b.hangingTag;
        for (const auto& row : rows) {
            // The line beside a hanging number keeps clear of it; the lines below take the width.
            const Fitted fitted =
                fit(row.text, row.style, kCardPadding + inner - (besideTag ? labelX : kCardPadding),
                    inner, row.maxLines, row.floorLines);
            const QFontMetricsF fm = metrics(row.style, fitted.points);
            for (const QString& line : fitted.lines) {
                if (besideTag) {
                    // On the number's baseline, and the next line below both.
                    card.texts.push_back(textAt({labelX, y + tagFm.ascent() - fm.ascent()}, line,
                                                row.style, fitted.points));
                    y += std::max(lineStep(fm), lineStep(tagFm));
                    besideTag = false;
                } else {
                    card.texts.push_back(textAt({kCardPadding, y}, line, row.style, fitted.points));
                    y += lineStep(fm);
                }
            }
        }
        if (besideTag)
            y += lineStep(tagFm);
    }
    card.height = y + kCardPadding;
    return card;
}

// Puts cards where they belong, each moved down below any card already placed that it would
// touch: whatever the texts, no two cards share a point.
class CardPlacer {
public:
    explicit CardPlacer(SheetPage& page) : m_page(page) {}

    QRectF place(const Card& card, qreal left, qreal top, qreal height) {
        QRectF rect(left, top, card.width, std::max(height, card.height));
        bool moved = true;
        while (moved) {
            moved = false;
            for (const QRectF& other : m_page.cards) {
                const QRectF spaced =
                    other.adjusted(-kCardSideGap, -kCardGap, kCardSideGap, kCardGap);
                if (spaced.intersects(rect)) {
                    rect.moveTop(other.bottom() + kCardGap);
                    moved = true;
                }
            }
        }
        m_page.cards.push_back(rect);
        const QPointF at = rect.topLeft();
        for (const SheetText& t : card.texts)
            m_page.texts.push_back({t.rect.translated(at), t.text, t.style, t.points});
        for (const QLineF& rule : card.rules)
            m_page.rules.push_back(rule.translated(at));
        return rect;
    }

private:
    SheetPage& m_page;
};

QString numberTag(int element) {
    return QString::fromStdString(elementName(element)).section(QLatin1Char(' '), -1);
}

QString layerWords(Layer layer) {
    return QLatin1String(layerName(layer)) + QStringLiteral(" layer");
}

qreal heading(SheetPage& page, const Preset& preset, Layer layer, const QString& source) {
    const qreal right = kSheetPageSize.width() - kSheetMargin;
    constexpr qreal kSourceWidth = 220.0;
    const QFontMetricsF noteFm = metrics(SheetStyle::Note);

    const QString product = QStringLiteral("QOB-TANDRIX preset sheet");
    SheetText productText = textAt({0, kSheetMargin}, product, SheetStyle::Note);
    productText.rect.translate(right - productText.rect.width(), 0);
    page.texts.push_back(productText);
    qreal rightBottom = productText.rect.bottom();
    if (!source.isEmpty()) {
        const QString shown = elided(source, SheetStyle::Note, kSourceWidth);
        SheetText s = textAt({0, kSheetMargin + lineStep(noteFm)}, shown, SheetStyle::Note);
        s.rect.translate(right - s.rect.width(), 0);
        page.texts.push_back(s);
        rightBottom = s.rect.bottom();
    }

    QString name = printable(preset.Name);
    if (name.isEmpty())
        name = QStringLiteral("(no name)");
    const qreal titleWidth = right - kSheetMargin - kSourceWidth - kHeadingGap;
    const SheetText title = textAt({kSheetMargin, kSheetMargin},
                                   elided(name, SheetStyle::Title, titleWidth), SheetStyle::Title);
    page.texts.push_back(title);

    const QString sub =
        layerWords(layer) + kSeparator + QStringLiteral("slot %1").arg(preset.PresetIndex) +
        kSeparator +
        QStringLiteral("Fader limits %1, %2").arg(preset.FaderLimit[0]).arg(preset.FaderLimit[1]) +
        kSeparator +
        QStringLiteral("V-Pot limits %1, %2").arg(preset.VPotLimit[0]).arg(preset.VPotLimit[1]);
    const SheetText subtitle =
        textAt({kSheetMargin, title.rect.bottom() + 1}, sub, SheetStyle::Subtitle);
    page.texts.push_back(subtitle);
    return std::max(subtitle.rect.bottom(), rightBottom);
}

void displayField(SheetPage& page, const SkinMap& map, const Preset& preset, Layer layer) {
    constexpr int kInset = 6;
    const QRectF field(map.x(kDisplayField.left() + kInset), map.y(kDisplayField.top()),
                       map.length(kDisplayField.width() - 2 * kInset),
                       map.length(kDisplayField.height()));
    const QFontMetricsF fm = metrics(SheetStyle::Display);
    QString name = printable(preset.Name);
    const QStringList lines{
        elided(name, SheetStyle::Display, field.width()),
        layerWords(layer) + kSeparator + QStringLiteral("slot %1").arg(preset.PresetIndex),
    };
    qreal y = field.center().y() - lines.size() * lineStep(fm) / 2;
    for (const QString& line : lines) {
        if (!line.isEmpty()) {
            SheetText t = textAt({0, y}, line, SheetStyle::Display);
            t.rect.moveLeft(field.center().x() - t.rect.width() / 2);
            page.texts.push_back(t);
        }
        y += lineStep(fm);
    }
}

void keyPrints(SheetPage& page, const SkinMap& map) {
    for (const Region& r : kRegions) {
        if (r.kind != RegionKind::AreaButton)
            continue;
        const QString name =
            QString::fromLatin1(r.label.data(), static_cast<qsizetype>(r.label.size()));
        const qreal centre = map.x(r.left + std::min(r.right - r.left, kKeyCapWidth) / 2.0);
        SheetText t = textAt({0, 0}, name, SheetStyle::Print);
        t.rect.moveCenter(QPointF(centre, 0));
        t.rect.moveBottom(map.y(r.top - kPrintGap));
        page.texts.push_back(t);
    }
}

} // namespace

QFont sheetFont(const SheetText& text, const QPaintDevice* device) {
    return fontAt(text.style, text.points, device);
}

SheetPage layoutSheetPage(const Preset& preset, Layer layer, const QString& source) {
    SheetPage page;
    const qreal headingBottom = heading(page, preset, layer, source);

    const qreal surfaceWidth = kSheetPageSize.width() - 2 * kSheetMargin;
    SkinMap map;
    map.scale = surfaceWidth / kSurfaceBox.width();
    map.origin = QPointF(kSheetMargin - map.scale * kSurfaceBox.left(),
                         headingBottom + kHeadingGap - map.scale * kSurfaceBox.top());
    page.skinTarget = QRectF(map.origin, QSizeF(map.length(kSkinWidth), map.length(kSkinHeight)));

    displayField(page, map, preset, layer);
    keyPrints(page, map);

    CardPlacer placer(page);
    const qreal cardWidth = map.length(kCardWidth);
    const auto centred = [&](const Region& r) {
        return map.x((r.left + r.right) / 2.0) - cardWidth / 2;
    };
    // Strips in rows: V-Pots first, as each row's cards move down below the row above.
    qreal faderRowTop = map.y(kFaderTrackTop);
    for (const RegionKind kind : {RegionKind::VPot, RegionKind::Fader, RegionKind::Button}) {
        std::vector<std::pair<const Region*, Card>> row;
        qreal height = 0;
        for (const Region& r : kRegions) {
            if (r.kind != kind)
                continue;
            Card card =
                layoutCard({blockFor(preset, layer, r.bank1Code, numberTag(r.bank1Code), true),
                            blockFor(preset, layer, r.bank2Code, numberTag(r.bank2Code), true)},
                           cardWidth);
            height = std::max(height, card.height);
            row.emplace_back(&r, std::move(card));
        }
        const qreal top = kind == RegionKind::VPot    ? map.y(kUnderVPots)
                          : kind == RegionKind::Fader ? map.y(kFaderTrackTop)
                                                      : map.y(kUnderButtons);
        QRectF placed;
        for (const auto& [region, card] : row)
            placed |= placer.place(card, centred(*region), top, height);
        if (kind == RegionKind::Fader)
            faderRowTop = placed.top();
        if (kind == RegionKind::Button) {
            const QRectF face(map.x(kFaceLeft), map.y(kFaceTop), map.length(kFaceRight - kFaceLeft),
                              map.length(kFaceBottom - kFaceTop));
            page.bands.push_back(
                placed.adjusted(-kCardGap / 2, -kCardGap / 2, kCardGap / 2, kCardGap / 2)
                    .intersected(face));
        }
    }
    for (const Region& r : kRegions) {
        const QString tag =
            QString::fromLatin1(r.label.data(), static_cast<qsizetype>(r.label.size()));
        switch (r.kind) {
        case RegionKind::FaderMaster:
            placer.place(layoutCard({blockFor(preset, layer, r.bank1Code, tag, false)}, cardWidth),
                         centred(r), faderRowTop, 0);
            break;
        case RegionKind::BreathControl:
        case RegionKind::TransportKey:
            placer.place(layoutCard({blockFor(preset, layer, r.bank1Code, tag, false)}, cardWidth),
                         centred(r), map.y(kUnderButtons), 0);
            break;
        case RegionKind::Wheel: {
            const Card card = layoutCard({blockFor(preset, layer, r.bank1Code, tag, false)},
                                         map.length(kWheelCardRight - kWheelCardLeft));
            placer.place(card, map.x(kWheelCardLeft), map.y(kWheelCentreY) - card.height / 2, 0);
            break;
        }
        default:
            break;
        }
    }

    const QString footer =
        QStringLiteral("Each strip: bank 1 (1-8) above, bank 2 (9-16, SHIFT) below") + kSeparator +
        QStringLiteral("ch = MIDI channel") + kSeparator +
        QStringLiteral("Push and Drawbar shown where set") + kSeparator +
        QStringLiteral("\u2013 = nothing assigned");
    const QFontMetricsF noteFm = metrics(SheetStyle::Note);
    page.texts.push_back(
        textAt({kSheetMargin, kSheetPageSize.height() - kSheetMargin - noteFm.height()}, footer,
               SheetStyle::Note));
    return page;
}

} // namespace qob
