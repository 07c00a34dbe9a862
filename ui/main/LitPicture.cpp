// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/LitPicture.h"

#include "ui/main/Skin.h"

#include <QMouseEvent>
#include <QPixmapCache>

namespace qob {

namespace {

// Both pictures show the same drawing: rendered once per pixel ratio and shared.
QPixmap litButton(qreal ratio) {
    const QString key = QStringLiteral("qob-lit-button@%1").arg(ratio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap::fromImage(renderLitButton(ratio));
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

} // namespace

LitPicture::LitPicture(QWidget* parent) : PanelLabel(parent) {}

void LitPicture::showEvent(QShowEvent* event) {
    // Rendering the drawing takes a millisecond that start-up need not spend: both pictures
    // start hidden, and many sessions never light them.
    const qreal ratio = devicePixelRatioF();
    if (pixmap().isNull() || pixmap().devicePixelRatio() != ratio)
        setPixmap(litButton(ratio));
    PanelLabel::showEvent(event);
}

// A picture, not a text to fit: drawn as any label draws its pixmap.
void LitPicture::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
}

void LitPicture::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
}

void LitPicture::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    // Released elsewhere: the user changed their mind.
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace qob
