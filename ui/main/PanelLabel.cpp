// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/PanelLabel.h"

#include <QMouseEvent>

namespace qob {

PanelLabel::PanelLabel(QWidget* parent) : QLabel(parent) {
    // Hover moves go to the nearest widget that tracks the mouse; this one must be it.
    setMouseTracking(true);
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
