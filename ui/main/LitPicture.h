// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/main/PanelLabel.h"

namespace qob {

// The lit-button picture over a skin button. A left press and release over it is a click.
class LitPicture : public PanelLabel {
    Q_OBJECT
public:
    explicit LitPicture(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

} // namespace qob
