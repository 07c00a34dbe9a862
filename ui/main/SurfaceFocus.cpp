// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/SurfaceFocus.h"

#include "ui/main/LitPicture.h"
#include "ui/main/SurfaceAccessible.h"
#include "ui/main/frmMain.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>
#include <utility>

namespace qob {
namespace {

// The ring: a bright band between two dark ones, so it stands out on the dark panel and on the
// light keys and fader caps alike. Logical pixels; drawn on whole device pixels.
constexpr int kRingGap = 1; // between the region and the ring's inner edge: clear of the captions
constexpr double kRingBand = 2.0;
constexpr double kRingEdge = 1.0;
const QColor kRingBright(255, 200, 0);
const QColor kRingDark(0, 0, 0);
// How much a step aside counts against a step along the arrow: enough that Up from a transport
// key goes to the painted key straight above, not to EXIT up and to the side.
constexpr int kAsideWeight = 3;

std::array<int, kSurfaceSlots> makeOrder() {
    std::array<int, kSurfaceSlots> order{};
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    // The kinds are declared in reading order; within a kind, rows top to bottom, left to right.
    std::stable_sort(order.begin(), order.end(), [](int a, int b) {
        const Region& ra = kRegions[static_cast<std::size_t>(a)];
        const Region& rb = kRegions[static_cast<std::size_t>(b)];
        return std::tuple(ra.kind, ra.top, ra.left) < std::tuple(rb.kind, rb.top, rb.left);
    });
    return order;
}

const std::array<int, kSurfaceSlots>& order() {
    static const std::array<int, kSurfaceSlots> table = makeOrder();
    return table;
}

NeighbourTable makeNeighbours() {
    NeighbourTable table{};
    for (std::size_t from = 0; from < kSurfaceSlots; ++from) {
        const Region& a = slotRegion(static_cast<int>(from));
        for (const Direction d :
             {Direction::Left, Direction::Right, Direction::Up, Direction::Down}) {
            int best = kNoSlot;
            std::pair<int, int> bestCost;
            for (std::size_t to = 0; to < kSurfaceSlots; ++to) {
                const Region& b = slotRegion(static_cast<int>(to));
                const int dx = b.centreX() - a.centreX();
                const int dy = b.centreY() - a.centreY();
                const bool across = d == Direction::Left || d == Direction::Right;
                const int along = (d == Direction::Left || d == Direction::Up) ? -(across ? dx : dy)
                                                                               : (across ? dx : dy);
                const int aside = std::abs(across ? dy : dx);
                // Far off to the side is not "that way": Right from REC must not climb to
                // MIDI DEVICE.
                if (along <= 0 || aside > 2 * along)
                    continue;
                const std::pair<int, int> cost{along + kAsideWeight * aside, aside};
                if (best == kNoSlot || cost < bestCost) {
                    best = static_cast<int>(to);
                    bestCost = cost;
                }
            }
            table[from][static_cast<std::size_t>(d)] = best;
        }
    }
    return table;
}

// Fills the band `width` device pixels wide just inside `outer`.
void fillFrame(QPainter& p, const QRect& outer, int width, const QColor& colour) {
    p.fillRect(outer.x(), outer.y(), outer.width(), width, colour);
    p.fillRect(outer.x(), outer.bottom() - width + 1, outer.width(), width, colour);
    p.fillRect(outer.x(), outer.y(), width, outer.height(), colour);
    p.fillRect(outer.right() - width + 1, outer.y(), width, outer.height(), colour);
}

} // namespace

const Region& slotRegion(int slot) {
    return kRegions[static_cast<std::size_t>(order()[static_cast<std::size_t>(slot)])];
}

int slotOf(int code, bool channelShift) {
    for (std::size_t slot = 0; slot < kSurfaceSlots; ++slot)
        if (slotRegion(static_cast<int>(slot)).code(channelShift) == code)
            return static_cast<int>(slot);
    return kNoSlot;
}

const NeighbourTable& neighbourTable() {
    static const NeighbourTable table = makeNeighbours();
    return table;
}

SurfaceFocus::SurfaceFocus(frmMain& window, const Preset& preset, EditorState& state)
    : QWidget(&window), m_window(window), m_preset(preset), m_state(state) {
    // Before anything asks for this widget's interface: Qt keeps the first one it made.
    installSurfaceAccessibility();
    setObjectName(QStringLiteral("Surface"));
    setAccessibleName(QStringLiteral("Control surface"));
    setAccessibleDescription(
        QStringLiteral("Arrow keys, Tab, Home and End move between the controls and painted "
                       "keys; Enter or Space presses the one in focus"));
    setGeometry(window.rect());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::StrongFocus);
    // A current element outside the bank shown (a state set up that way) starts at the first
    // region: the focus always stands on one.
    m_current = m_elementSlot = std::max(0, slotOf(m_state.CurrentElement, m_state.ChannelShift));
}

void SurfaceFocus::setCurrent(int slot) {
    if (slot < 0 || slot >= static_cast<int>(kSurfaceSlots))
        return;
    const std::int16_t code = slotRegion(slot).code(m_state.ChannelShift);
    moveTo(slot);
    if (code >= 0 && code < kElementCount) {
        m_elementSlot = slot;
        // As hovering does: the status row gives way to the assignment.
        m_state.CurrentElement = code;
        m_window.Display_Current_Element();
    }
}

void SurfaceFocus::moveTo(int slot) {
    if (slot == m_current)
        return;
    m_current = slot;
    update();
    if (hasFocus())
        announceFocus();
}

void SurfaceFocus::press(int slot) {
    const Region& r = slotRegion(slot);
    const QPoint centre(r.centreX(), r.centreY());
    if (auto* lit = qobject_cast<LitPicture*>(m_window.childAt(centre))) {
        emit lit->clicked();
        return;
    }
    m_window.Form_MouseDown(frmMain::kLeftButton, 0, static_cast<float>(centre.x()),
                            static_cast<float>(centre.y()));
}

void SurfaceFocus::panelShown() {
    // Only a move onto another region follows CurrentElement: a bank change moves it to the
    // partner in the same place, and a redraw for another reason leaves a painted key in focus.
    const int slot = slotOf(m_state.CurrentElement, m_state.ChannelShift);
    if (slot != kNoSlot && slot != m_elementSlot) {
        m_elementSlot = slot;
        moveTo(slot);
    }
    if (QAccessible::isActive())
        announceSurfaceChanges(this);
}

void SurfaceFocus::watch(QWidget* dialog) {
    dialog->installEventFilter(this);
}

bool SurfaceFocus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide) {
        // After the window system has handed the activation back, or it would take it again.
        QTimer::singleShot(0, this, [this] {
            if (!m_window.isVisible())
                return;
            m_window.activateWindow();
            setFocus(Qt::OtherFocusReason);
            announceFocus();
        });
    }
    return QWidget::eventFilter(watched, event);
}

void SurfaceFocus::keyPressEvent(QKeyEvent* event) {
    // As it ignores presses, the surface ignores its keys while the dialog is open.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (m_state.DialogOpen || mods != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    static constexpr std::pair<int, Direction> kArrows[] = {{Qt::Key_Left, Direction::Left},
                                                            {Qt::Key_Right, Direction::Right},
                                                            {Qt::Key_Up, Direction::Up},
                                                            {Qt::Key_Down, Direction::Down}};
    for (const auto& [key, direction] : kArrows)
        if (event->key() == key) {
            setCurrent(neighbourTable()[static_cast<std::size_t>(m_current)]
                                       [static_cast<std::size_t>(direction)]);
            event->accept();
            return;
        }
    switch (event->key()) {
    case Qt::Key_Home:
        setCurrent(0);
        break;
    case Qt::Key_End:
        setCurrent(static_cast<int>(kSurfaceSlots) - 1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // A held key would press again and again: SHIFT on and off, dialog after dialog.
        if (!event->isAutoRepeat())
            press(m_current);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// Tab and Shift+Tab go round the regions: the picture is the window's only focus stop.
bool SurfaceFocus::focusNextPrevChild(bool next) {
    if (m_state.DialogOpen)
        return true;
    const int n = static_cast<int>(kSurfaceSlots);
    setCurrent((m_current + (next ? 1 : n - 1)) % n);
    return true;
}

void SurfaceFocus::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
    // Qt announces the widget itself after this: the region follows it.
    QTimer::singleShot(0, this, [this] {
        if (hasFocus())
            announceFocus();
    });
}

void SurfaceFocus::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void SurfaceFocus::announceFocus() {
    if (QAccessible::isActive())
        announceSurfaceFocus(this, m_current);
}

void SurfaceFocus::paintEvent(QPaintEvent* /*event*/) {
    if (!hasFocus())
        return;
    const Region& r = slotRegion(m_current);
    const qreal ratio = devicePixelRatioF();
    const auto device = [ratio](double logical) {
        return static_cast<int>(std::lround(logical * ratio));
    };
    const int edge = std::max(1, device(kRingEdge));
    const int band = std::max(2, device(kRingBand));
    const int reach = kRingGap + static_cast<int>(kRingBand + 2 * kRingEdge);
    QPainter p(this);
    // In device pixels, every edge on a whole pixel: crisp at any pixel ratio.
    p.scale(1 / ratio, 1 / ratio);
    if (r.kind == RegionKind::Wheel) {
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF centre(r.centreX() * ratio, r.centreY() * ratio);
        const double radius = (kWheelRadius + kRingGap) * ratio + edge + band / 2.0;
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kRingDark, band + 2.0 * edge));
        p.drawEllipse(centre, radius, radius);
        p.setPen(QPen(kRingBright, band));
        p.drawEllipse(centre, radius, radius);
        return;
    }
    const QRect outer(QPoint(device(r.left - reach), device(r.top - reach)),
                      QPoint(device(r.right + reach) - 1, device(r.bottom + reach) - 1));
    fillFrame(p, outer, edge, kRingDark);
    const QRect bright = outer.adjusted(edge, edge, -edge, -edge);
    fillFrame(p, bright, band, kRingBright);
    fillFrame(p, bright.adjusted(band, band, -band, -band), edge, kRingDark);
}

} // namespace qob
