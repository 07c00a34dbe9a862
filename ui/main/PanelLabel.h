// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace qob {

// A label that keeps the pointer events over its rectangle: a plain QLabel lets presses and hover
// through to the window, which would then hit-test and drag underneath the panel.
class PanelLabel : public QLabel {
    Q_OBJECT
public:
    explicit PanelLabel(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace qob
