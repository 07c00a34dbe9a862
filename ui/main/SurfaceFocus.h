// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"
#include "ui/main/ElementMap.h"

#include <QWidget>

#include <array>
#include <cstddef>

namespace qob {

class frmMain;

// The 39 regions of the surface (32 elements of the bank shown, 7 painted keys) as one list in
// reading order: V-Pots, Faders, Master, Buttons, Breath Control, transport keys, Wheel, painted
// keys. A "slot" is a place in that list; the keyboard and the accessibility tree count by it.
inline constexpr std::size_t kSurfaceSlots = kRegions.size();
inline constexpr int kNoSlot = -1;

enum class Direction { Left, Right, Up, Down };

const Region& slotRegion(int slot);
// The slot whose region carries `code` in the bank shown, or kNoSlot.
int slotOf(int code, bool channelShift);

// For each slot and direction, the slot whose centre is nearest that way (distance along the
// arrow plus three times the distance across it, within a cone of twice the along distance), or
// kNoSlot at that edge of the surface. Computed from the element map's centres.
using NeighbourTable = std::array<std::array<int, 4>, kSurfaceSlots>;
const NeighbourTable& neighbourTable();

// The picture as one keyboard focus stop that holds a current region. It lies over the whole
// window, takes no pointer events, and draws the focus ring while the window has the keyboard.
// An element it moves to becomes CurrentElement, as hovering makes it; Enter and Space press
// the region as a left press would.
class SurfaceFocus : public QWidget {
    Q_OBJECT
public:
    SurfaceFocus(frmMain& window, const Preset& preset, EditorState& state);

    int current() const { return m_current; }
    // Moves the focus (and, for an element, CurrentElement) to `slot`.
    void setCurrent(int slot);
    // What a left press at the centre of `slot` does; a lit picture over it takes the click.
    void press(int slot);
    // After every redraw of the panel: follows CurrentElement where the pointer moved it, and
    // tells assistive technology what changed.
    void panelShown();
    // Focus comes back to the surface, at the region it was on, when `dialog` hides.
    void watch(QWidget* dialog);

    const Preset& preset() const { return m_preset; }
    const EditorState& state() const { return m_state; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveTo(int slot);
    void announceFocus();

    frmMain& m_window;
    const Preset& m_preset;
    EditorState& m_state;
    int m_current = 0;
    int m_elementSlot = 0; // where CurrentElement was last seen
};

} // namespace qob
