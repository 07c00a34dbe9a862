// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/PanelLabel.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace qob {

namespace {

QFont stretched(QFont font, int stretch) {
    if (stretch != 100)
        font.setStretch(stretch);
    return font;
}

} // namespace

PanelLabel::PanelLabel(QWidget* parent) : QLabel(parent) {
    // Hover moves go to the nearest widget that tracks the mouse; this one must be it.
    setMouseTracking(true);
}

PanelLabel::Fit PanelLabel::fitted() const {
    const QString whole = text();
    const int room = std::max(0, contentsRect().width() - 2 * std::max(0, indent()));
    const int wide = QFontMetrics(font()).horizontalAdvance(whole);
    if (wide <= room)
        return {whole, 100};
    // Advances shrink in proportion to the stretch; hinting can round a pixel either way, so
    // step down from the estimate until the text really fits.
    int stretch = std::max(kMinStretch, 100 * room / wide);
    for (; stretch >= kMinStretch; --stretch)
        if (QFontMetrics(stretched(font(), stretch)).horizontalAdvance(whole) <= room)
            return {whole, stretch};
    return {QFontMetrics(stretched(font(), kMinStretch)).elidedText(whole, Qt::ElideRight, room),
            kMinStretch};
}

// Draws what QLabel would, in the same place, with the fitted text and font.
void PanelLabel::paintEvent(QPaintEvent* /*event*/) {
    const Fit fit = fitted();
    QPainter painter(this);
    painter.setFont(stretched(font(), fit.stretch));
    painter.setPen(palette().color(foregroundRole()));
    const int inset = std::max(0, indent());
    painter.drawText(contentsRect().adjusted(inset, 0, -inset, 0), int(alignment()), fit.text);
}

void PanelLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
void PanelLabel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}
void PanelLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
void PanelLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

} // namespace qob
