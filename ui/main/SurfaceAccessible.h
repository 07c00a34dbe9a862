// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace qob {

class SurfaceFocus;

// The surface in the accessibility tree: one child per region of the bank shown, in reading
// order, with the role, name and description a screen reader speaks. Qt asks for it only
// while an assistive technology listens, so none of this costs anything before.
void installSurfaceAccessibility();
// Set (true) on the panel's dividing lines, which the tree shows as separators.
inline constexpr const char* kPanelLineProperty = "qobPanelLine";

// The region's name as the panel names it ("Fader  3", "Transport: PLAY", "MIDI DEVICE") and
// what the panel shows for it in the layer shown (or what a painted key does).
QString slotName(const SurfaceFocus& surface, int slot);
QString slotDescription(const SurfaceFocus& surface, int slot);

// Tells assistive technology that `slot` has the focus.
void announceSurfaceFocus(SurfaceFocus* surface, int slot);
// Tells it of every name, description and lit state that changed since it last asked or was
// told: after a bank or layer change, or a changed assignment.
void announceSurfaceChanges(SurfaceFocus* surface);

} // namespace qob
