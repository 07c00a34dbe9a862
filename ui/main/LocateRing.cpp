// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/LocateRing.h"

#include "ui/main/ElementMap.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace qob {
namespace {

constexpr qreal kGap = 4;   // between the region and the ring
constexpr qreal kWidth = 3; // of the ring
// Bright amber with a dark edge: it stands out on the dark panel and on the light keys alike.
const QColor kRingColour(255, 196, 40);
const QColor kEdgeColour(0, 0, 0, 160);

} // namespace

LocateRing::LocateRing(QWidget* picture) : QObject(picture), m_picture(picture) {
    m_fade.setStartValue(1.0);
    m_fade.setEndValue(0.0);
    m_fade.setDuration(kFadeMs);
    m_fade.setEasingCurve(QEasingCurve::InQuad);
    const auto repaint = [this] { m_picture->update(paintedRect()); };
    connect(&m_fade, &QVariantAnimation::valueChanged, this, repaint);
    connect(&m_fade, &QVariantAnimation::finished, this, repaint);
}

QRectF LocateRing::ringRect() const {
    return m_region.adjusted(-kGap, -kGap, kGap, kGap);
}

// The ring with its dark edge, in whole pixels.
QRect LocateRing::paintedRect() const {
    return ringRect().adjusted(-kWidth, -kWidth, kWidth, kWidth).toAlignedRect();
}

void LocateRing::mark(int element, bool channelShift) {
    const auto r = std::find_if(kRegions.begin(), kRegions.end(), [&](const Region& region) {
        return region.code(channelShift) == element;
    });
    if (r == kRegions.end())
        return;
    const QRectF region(QPointF(r->left, r->top), QPointF(r->right, r->bottom));
    if (visible() && region != m_region)
        m_picture->update(paintedRect());
    m_region = region;
    m_round = r->kind == RegionKind::Wheel;
    m_fade.stop();
    m_fade.start();
}

void LocateRing::paint(QPainter& painter) const {
    if (!visible())
        return;
    const qreal opacity = m_fade.currentValue().toReal();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const QRectF r = ringRect();
    for (const auto& [colour, width] :
         {std::pair{kEdgeColour, kWidth + 2}, {kRingColour, kWidth}}) {
        QColor c = colour;
        c.setAlphaF(c.alphaF() * opacity);
        painter.setPen(QPen(c, width));
        if (m_round)
            painter.drawEllipse(r);
        else
            painter.drawRoundedRect(r, 4, 4);
    }
    painter.restore();
}

} // namespace qob
