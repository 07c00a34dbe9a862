// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/LitPicture.h"

#include "ui/main/Skin.h"

#include <QMouseEvent>

namespace qob {

LitPicture::LitPicture(QWidget* parent) : PanelLabel(parent) {}

void LitPicture::showEvent(QShowEvent* event) {
    // Rendering the drawing takes a millisecond that start-up need not spend: both pictures
    // start hidden, and many sessions never light them.
    const qreal ratio = devicePixelRatioF();
    if (pixmap().isNull() || pixmap().devicePixelRatio() != ratio)
        setPixmap(QPixmap::fromImage(renderLitButton(ratio)));
    PanelLabel::showEvent(event);
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
