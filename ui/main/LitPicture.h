// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/main/PanelLabel.h"

namespace qob {

// The lit-button picture over a skin button. A left press and release over it is a click.
// The picture is drawn when first shown, at the pixel ratio of the screen it is shown on.
class LitPicture : public PanelLabel {
    Q_OBJECT
public:
    explicit LitPicture(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

} // namespace qob
