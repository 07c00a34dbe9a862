// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/LitPicture.h"

#include <QMouseEvent>

namespace qob {

LitPicture::LitPicture(QWidget* parent) : PanelLabel(parent) {}

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
