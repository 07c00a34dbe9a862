// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace qob {

// A label of the information panel. It keeps the pointer events over its rectangle (a plain
// QLabel lets presses and hover through to the window, which would then hit-test and drag
// underneath the panel), and it never cuts a text mid-letter: a text wider than the label is
// drawn condensed, down to a stretch that still reads well, and only then shortened with "…".
// text() stays the whole text.
class PanelLabel : public QLabel {
    Q_OBJECT
public:
    // Below this the letters of the panel's serif font run together.
    static constexpr int kMinStretch = 80;

    struct Fit {
        QString text; // what is drawn: the whole text, or its start and "…"
        int stretch;  // of the label's font, in percent; 100 is the font as designed
    };

    explicit PanelLabel(QWidget* parent = nullptr);

    // The text as drawn: left and right it keeps indent() clear.
    Fit fitted() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace qob
