// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QRectF>
#include <QVariantAnimation>

class QPainter;
class QWidget;

namespace qob {

// The mark a heard control gets on the picture: a ring around its region that fades out in
// about half a second. Drawn as a vector path, so it is crisp at every pixel ratio.
class LocateRing : public QObject {
    Q_OBJECT
public:
    explicit LocateRing(QWidget* picture);

    // Marks the region of `element` in the bank shown.
    void mark(int element, bool channelShift);
    bool visible() const { return m_fade.state() == QAbstractAnimation::Running; }
    const QRectF& region() const { return m_region; }
    void paint(QPainter& painter) const;

    static constexpr int kFadeMs = 500;

private:
    QRectF ringRect() const;
    QRect paintedRect() const;

    QWidget* m_picture;
    QVariantAnimation m_fade;
    QRectF m_region;
    bool m_round = false;
};

} // namespace qob
